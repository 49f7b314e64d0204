<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Engine</name>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>无法打开文件“%1”。%2</translation>
    </message>
    <message>
        <source>Cannot create file &quot;%1&quot;. %2</source>
        <translation>无法创建文件“%1”。%2</translation>
    </message>
    <message>
        <source>Cannot create file &quot;%1&quot;. The Excel writer is missing or damaged: %2</source>
        <translation>无法创建文件“%1”。Excel 写入模块缺失或已损坏：%2</translation>
    </message>
    <message>
        <source>Cannot open folder &quot;%1&quot;. %2</source>
        <translation>无法打开文件夹“%1”。%2</translation>
    </message>
    <message>
        <source>List index out of bounds (%1)</source>
        <translation>列表索引越界（%1）</translation>
    </message>
    <message>
        <source>Cannot read &quot;%1&quot;: line %2, column %3: %4</source>
        <translation>无法读取“%1”：第 %2 行第 %3 列：%4</translation>
    </message>
    <message>
        <source>There is no page %1 of %2 hits</source>
        <translation>共 %2 条结果，没有第 %1 页</translation>
    </message>
    <message>
        <source>%1 (pos %2)</source>
        <translation>%1（位置 %2）</translation>
    </message>
    <message>
        <source>%1: the expression backtracks too much on line %2 of &quot;%3&quot;; make it more specific</source>
        <translation>%1：表达式在“%3”第 %2 行回溯过多，请把表达式写得更具体些</translation>
    </message>
    <message>
        <source>%1: the expression backtracks too much on unit %2 of &quot;%3&quot;; make it more specific</source>
        <translation>%1：表达式在“%3”第 %2 个翻译单元回溯过多，请把表达式写得更具体些</translation>
    </message>
    <message>
        <source>%1: the filter backtracks too much on line %2 of &quot;%3&quot;; make it more specific</source>
        <translation>%1：过滤条件在“%3”第 %2 行回溯过多，请把过滤条件写得更具体些</translation>
    </message>
    <message>
        <source>%1: the filter backtracks too much on unit %2 of &quot;%3&quot;; make it more specific</source>
        <translation>%1：过滤条件在“%3”第 %2 个翻译单元回溯过多，请把过滤条件写得更具体些</translation>
    </message>
    <message>
        <source>The word-list equivalents of &quot;%1&quot; backtrack too much: their marks were left out on %2 line(s)</source>
        <translation>词表中“%1”的对应词回溯过多：有 %2 行未标出这些对应词</translation>
    </message>
</context>
<context>
    <name>TDesktop</name>
    <message>
        <source>Choose Files</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Corpus files (*.txt *.tmx *.tsv *.en *.zh *.zh_cn *.zh-cn *.cmn)</source>
        <translation>语料文件 (*.txt *.tmx *.tsv *.en *.zh *.zh_cn *.zh-cn *.cmn)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>Search the other sources without it?</source>
        <translation>是否跳过该文件，在其余语料中检索？</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 已存在。
要替换它吗？</translation>
    </message>
</context>
<context>
    <name>TFindBar</name>
    <message>
        <source>Find:</source>
        <translation>查找：</translation>
    </message>
    <message>
        <source>Find in results</source>
        <translation>在结果中查找</translation>
    </message>
    <message>
        <source>Previous match</source>
        <translation>上一处</translation>
    </message>
    <message>
        <source>Previous match (Shift+Enter)</source>
        <translation>上一处 (Shift+Enter)</translation>
    </message>
    <message>
        <source>Next match</source>
        <translation>下一处</translation>
    </message>
    <message>
        <source>Next match (Enter)</source>
        <translation>下一处 (Enter)</translation>
    </message>
    <message>
        <source>Matches</source>
        <translation>匹配处</translation>
    </message>
    <message>
        <source>Close find</source>
        <translation>关闭查找</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>关闭 (Esc)</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>无匹配</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>第 %1 处，共 %2 处</translation>
    </message>
</context>
<context>
    <name>TLineCounts</name>
    <message>
        <source>%1 line</source>
        <translation>%1 行</translation>
    </message>
    <message>
        <source>%1 lines</source>
        <translation>%1 行</translation>
    </message>
    <message>
        <source>%1, %2 pair</source>
        <translation>%1，%2 个句对</translation>
    </message>
    <message>
        <source>%1, %2 pairs</source>
        <translation>%1，%2 个句对</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has %2 line, &quot;%3&quot; has %4.</source>
        <translation>“%1”有 %2 行，“%3”有 %4 行。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has %2 lines, &quot;%3&quot; has %4.</source>
        <translation>“%1”有 %2 行，“%3”有 %4 行。</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>无法读取</translation>
    </message>
</context>
<context>
    <name>TResultBar</name>
    <message>
        <source>Pairs</source>
        <translation>双语对照</translation>
    </message>
    <message>
        <source>KWIC</source>
        <translation>KWIC 索引</translation>
    </message>
    <message>
        <source>View</source>
        <translation>视图</translation>
    </message>
    <message>
        <source>Each hit as its two lines, or as one line of key word in context</source>
        <translation>每条结果显示为对照的两行，或显示为一行关键词居中索引（KWIC）</translation>
    </message>
    <message>
        <source>File and line</source>
        <translation>文件与行号</translation>
    </message>
    <message>
        <source>Hit</source>
        <translation>命中词</translation>
    </message>
    <message>
        <source>1st word left</source>
        <translation>左一词</translation>
    </message>
    <message>
        <source>2nd word left</source>
        <translation>左二词</translation>
    </message>
    <message>
        <source>3rd word left</source>
        <translation>左三词</translation>
    </message>
    <message>
        <source>1st word right</source>
        <translation>右一词</translation>
    </message>
    <message>
        <source>2nd word right</source>
        <translation>右二词</translation>
    </message>
    <message>
        <source>3rd word right</source>
        <translation>右三词</translation>
    </message>
    <message>
        <source>Translation</source>
        <translation>译法</translation>
    </message>
    <message>
        <source>By the first row of the translation table that the aligned line holds</source>
        <translation>按对应行所含译法在译法表中最靠前的一行排序</translation>
    </message>
    <message>
        <source>Sort</source>
        <translation>排序</translation>
    </message>
    <message>
        <source>The order of the hits; ties keep the order of the files</source>
        <translation>结果的排列顺序；相同者保持文件中的顺序</translation>
    </message>
    <message>
        <source>Previous 10,000</source>
        <translation>上 10,000 条</translation>
    </message>
    <message>
        <source>Next 10,000</source>
        <translation>下 10,000 条</translation>
    </message>
    <message>
        <source>Hits shown</source>
        <translation>显示的结果</translation>
    </message>
    <message>
        <source>hits %1–%2 of %3</source>
        <translation>第 %1–%2 条，共 %3 条</translation>
    </message>
</context>
<context>
    <name>TResultView</name>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Copy pair with reference</source>
        <translation>复制句对及出处</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>全选</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>Tab-separated text (*.txt)</source>
        <translation>制表符分隔文本 (*.txt)</translation>
    </message>
    <message>
        <source>Excel workbook (*.xlsx)</source>
        <translation>Excel 工作簿 (*.xlsx)</translation>
    </message>
    <message>
        <source>CSV for spreadsheets (*.csv)</source>
        <translation>电子表格用 CSV (*.csv)</translation>
    </message>
    <message>
        <source>TMX translation memory (*.tmx)</source>
        <translation>TMX 翻译记忆库 (*.tmx)</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>检索</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Keep a cache of opened corpora</source>
        <translation>为打开过的语料保留缓存</translation>
    </message>
    <message>
        <source>Opening the same files again maps what the first opening made of them, kept in %1</source>
        <translation>再次打开同样的文件时，直接使用首次打开时生成的缓存，存放于 %1</translation>
    </message>
    <message>
        <source>Clear cache</source>
        <translation>清除缓存</translation>
    </message>
    <message>
        <source>Remove every corpus cache</source>
        <translation>删除所有语料缓存</translation>
    </message>
    <message>
        <source>The corpus was loaded from its cache in %1</source>
        <translation>语料已从缓存载入，缓存位于 %1</translation>
    </message>
    <message>
        <source>Choose Folder</source>
        <translation>选择文件夹</translation>
    </message>
    <message>
        <source>Choose Files…</source>
        <translation>选择文件…</translation>
    </message>
    <message>
        <source>Choose Files</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>List chosen files: pairs, TMX or TSV files. Dropping files or a folder on the window does the same</source>
        <translation>列出所选文件：成对的文本文件、TMX 或 TSV 文件。把文件或文件夹拖到窗口上也可以</translation>
    </message>
    <message>
        <source>Click to open the folder</source>
        <translation>单击打开该文件夹</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>Corpus files</source>
        <translation>语料文件</translation>
    </message>
    <message>
        <source>File filter</source>
        <translation>文件筛选</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>筛选</translation>
    </message>
    <message>
        <source>File counts</source>
        <translation>文件数</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Clear Selection</source>
        <translation>清除选择</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Dictionary equivalents</source>
        <translation>词典对应词</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>检索</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Stop the search or the save (Esc)</source>
        <translation>停止检索或保存 (Esc)</translation>
    </message>
    <message>
        <source>Lemmatize</source>
        <translation>词形还原</translation>
    </message>
    <message>
        <source>Lemmatize query</source>
        <translation>检索词词形还原</translation>
    </message>
    <message>
        <source>Also find the word&apos;s other forms: give finds gives, gave and given too</source>
        <translation>同时查找该词的其他形式：检索 give 也能找到 gives、gave 和 given</translation>
    </message>
    <message>
        <source>Whole words</source>
        <translation>整词</translation>
    </message>
    <message>
        <source>Applies to Chinese text in the query and the filter: %1 no longer matches inside %2</source>
        <translation>作用于检索词和过滤条件中的中文：“%1”不再匹配“%2”中的字</translation>
    </message>
    <message>
        <source>Simplified and traditional</source>
        <translation>简繁通检</translation>
    </message>
    <message>
        <source>Chinese characters of the query, the filter and the word-list equivalents match their simplified and traditional forms alike: %1 also finds %2</source>
        <translation>检索词、过滤条件和词表对应词中的汉字同时匹配其简体和繁体：检索“%1”也能找到“%2”</translation>
    </message>
    <message>
        <source>Exclude</source>
        <translation>排除</translation>
    </message>
    <message>
        <source>Keep the hits whose aligned line does not match the filter</source>
        <translation>只保留对应行不符合过滤条件的结果</translation>
    </message>
    <message>
        <source>Lemmatize filter</source>
        <translation>过滤条件词形还原</translation>
    </message>
    <message>
        <source>The filter also matches the word&apos;s other forms</source>
        <translation>过滤条件也匹配该词的其他形式</translation>
    </message>
    <message>
        <source>Aligned-line filter</source>
        <translation>对应行过滤</translation>
    </message>
    <message>
        <source>Filter on the aligned line</source>
        <translation>按对应行过滤</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>检索结果</translation>
    </message>
    <message>
        <source>Translations</source>
        <translation>译法</translation>
    </message>
    <message>
        <source>Translation</source>
        <translation>译法</translation>
    </message>
    <message>
        <source>Hits</source>
        <translation>条数</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>占比</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>得分</translation>
    </message>
    <message>
        <source>Click a row, or press Enter on it, to filter the hits by it</source>
        <translation>单击某一行或在该行上按 Enter，即按此译法过滤结果</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Shows or hides the translation table</source>
        <translation>显示或隐藏译法表</translation>
    </message>
    <message>
        <source>Show or hide how the aligned lines translate the query</source>
        <translation>显示或隐藏对应行中检索词的各种译法</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Korvel logo</source>
        <translation>Korvel 标志</translation>
    </message>
    <message>
        <source>Programmed and designed by the Korvel developers.

TAVO Korvel is a free parallel concordancing tool. It is provided &quot;as is&quot;, without warranty of any kind; the authors accept no liability for any damage arising from its use.

We thank the translators, teachers and corpus linguists whose questions shaped it, and the open projects whose data and libraries it builds on: PCRE2, ICU, Qt, WordNet, SCOWL and CC-CEDICT.

Please cite the program as:</source>
        <translation>由 Korvel 开发者编程与设计。

TAVO Korvel 是一款免费的平行语料检索工具，按“原样”提供，不作任何形式的担保；对因使用本程序而造成的任何损失，作者概不负责。

感谢提出问题、帮助塑造本程序的译者、教师和语料库语言学研究者，也感谢本程序所依托的开放项目及其数据和程序库：PCRE2、ICU、Qt、WordNet、SCOWL 和 CC-CEDICT。

引用本程序时请注明：</translation>
    </message>
    <message>
        <source>Released 2026-12-06     korvel@example.org</source>
        <translation>发布于 2026-12-06     korvel@example.org</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>In the query.</source>
        <translation>错误在检索词中。</translation>
    </message>
    <message>
        <source>In the filter.</source>
        <translation>错误在过滤条件中。</translation>
    </message>
    <message>
        <source>%1 second(s), %2 item(s).</source>
        <translation>用时 %1 秒，共 %2 条。</translation>
    </message>
    <message>
        <source>Left out: %1</source>
        <translation>已略去：%1</translation>
    </message>
    <message>
        <source>%1: %2 hit(s), %3</source>
        <translation>%1：%2 条，%3</translation>
    </message>
    <message>
        <source>, score %1</source>
        <translation>，得分 %1</translation>
    </message>
    <message>
        <source>(none of these)</source>
        <translation>（以上皆非）</translation>
    </message>
    <message>
        <source>Cancelled.</source>
        <translation>已取消。</translation>
    </message>
    <message>
        <source>%1 file(s) selected, %2 file(s) in the list.</source>
        <translation>已选 %1 个文件，列表中共 %2 个文件。</translation>
    </message>
    <message>
        <source>No corpus files in this folder</source>
        <translation>此文件夹中没有语料文件</translation>
    </message>
    <message>
        <source>No corpus files among these files</source>
        <translation>所选文件中没有语料文件</translation>
    </message>
    <message>
        <source>Showing the first %1 of %2 hits. Save exports all of them.</source>
        <translation>仅显示前 %1 条，共 %2 条结果。“保存”会导出全部结果。</translation>
    </message>
    <message>
        <source>Showing hits %1–%2 of %3. Save exports all of them.</source>
        <translation>显示第 %1–%2 条，共 %3 条结果。“保存”会导出全部结果。</translation>
    </message>
</context>
</TS>
