#!/usr/bin/env python3
"""The CSV, TMX and Excel exports read back by readers that did not write
them (the csv module, ElementTree, zipfile) and compared with the
tab-separated export of the same search, which the CLI tests pin down.

Usage: check_exports.py KORVEL-CLI KORVEL-SMALL-XLSX FIXTURES
"""
import csv
import io
import re
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

cli, small_xlsx, fixtures = sys.argv[1], sys.argv[2], Path(sys.argv[3])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


HEADER = ["Hit", "Searched file", "Aligned file", "Line", "Searched line", "Aligned line"]
HIT, EQUIVALENT, FILTER = 1, 2, 4
# The font each mark is shown in: bold, underlined, colour.
FONTS = {0: (False, False, None), HIT: (True, False, "FFB3261E"), EQUIVALENT: (True, False, "FF0B57D0"),
         FILTER: (False, True, "FF8A6D00"), EQUIVALENT | FILTER: (True, True, "FF0B57D0")}
MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
RELS = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"


def runs_of_field(field, searched):
    """The export field's text as (text, font) runs, its brackets read as marks."""
    runs, style = [], 0
    for ch in field:
        if ch == "【":
            style |= HIT if searched else EQUIVALENT
        elif ch == "】":
            style &= ~(HIT | EQUIVALENT)
        elif ch == "〖":
            style |= FILTER
        elif ch == "〗":
            style &= ~FILTER
        elif runs and runs[-1][1] == FONTS[style]:
            runs[-1][0] += ch
        else:
            runs.append([ch, FONTS[style]])
    return [tuple(r) for r in runs]


def plain(field):
    return re.sub("[【】〖〗]", "", field)


def units(text):
    return len(text.encode("utf-16-le")) // 2


def cut(runs, limit):
    """Runs as a cell of `limit` UTF-16 units holds them: cut with "…"."""
    if sum(units(t) for t, _ in runs) <= limit:
        return runs, False
    kept, room = [], limit - 1
    for text, font in runs:
        part = ""
        for ch in text:
            if units(ch) > room:
                break
            part += ch
            room -= units(ch)
        if part:
            kept.append((part, font))
        if part != text:
            break
    if kept and kept[-1][1] == FONTS[0]:
        kept[-1] = (kept[-1][0] + "…", FONTS[0])
    else:
        kept.append(("…", FONTS[0]))
    return kept, True


class Workbook:
    """The sheets of an .xlsx as rows of cells: a number, or runs of
    (text, font)."""

    def __init__(self, path):
        with zipfile.ZipFile(path) as z:
            self.files = set(z.namelist())
            book = ET.fromstring(z.read("xl/workbook.xml"))
            rels = {r.get("Id"): r.get("Target") for r in ET.fromstring(z.read("xl/_rels/workbook.xml.rels"))}
            styles = ET.fromstring(z.read("xl/styles.xml"))
            fonts = [self.font(f) for f in styles.find(MAIN + "fonts")]
            self.cell_fonts = [fonts[int(xf.get("fontId", 0))] for xf in styles.find(MAIN + "cellXfs")]
            shared = ET.fromstring(z.read("xl/sharedStrings.xml")) if "xl/sharedStrings.xml" in self.files else []
            self.shared = list(shared)
            self.sheets = []
            for sheet in book.find(MAIN + "sheets"):
                root = ET.fromstring(z.read("xl/" + rels[sheet.get(RELS + "id")]))
                self.sheets.append((sheet.get("name"), root))

    @staticmethod
    def font(element):
        colour = element.find(MAIN + "color")
        return (element.find(MAIN + "b") is not None, element.find(MAIN + "u") is not None,
                colour.get("rgb") if colour is not None else None)

    @staticmethod
    def text(element):
        # Excel reads _xHHHH_ in a text as that character.
        raw = "".join(t.text or "" for t in element.iter(MAIN + "t"))
        return re.sub("_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), raw)

    def runs(self, string, cell_font):
        if string.find(MAIN + "r") is None:
            return [(self.text(string), cell_font)]
        out = []
        for r in string.findall(MAIN + "r"):
            props = r.find(MAIN + "rPr")
            font = self.font(props) if props is not None else cell_font
            text = self.text(r)
            if out and out[-1][1] == font:
                out[-1] = (out[-1][0] + text, font)
            else:
                out.append((text, font))
        return out

    def rows(self, root):
        rows = []
        for row in root.iter(MAIN + "row"):
            cells = {}
            for c in row.findall(MAIN + "c"):
                column = ord(re.match("[A-Z]", c.get("r")).group()) - ord("A")
                font = self.cell_fonts[int(c.get("s", 0))]
                if c.get("t") == "s":
                    cells[column] = self.runs(self.shared[int(c.find(MAIN + "v").text)], font)
                elif c.get("t") == "inlineStr":
                    cells[column] = self.runs(c.find(MAIN + "is"), font)
                else:
                    cells[column] = float(c.find(MAIN + "v").text)
            rows.append([cells.get(k) for k in range(max(cells) + 1)] if cells else [])
        return rows

    @staticmethod
    def frozen_rows(root):
        pane = root.find(f"{MAIN}sheetViews/{MAIN}sheetView/{MAIN}pane")
        return int(pane.get("ySplit")) if pane is not None and pane.get("state") == "frozen" else 0


def text_runs(text, font=FONTS[0]):
    return [(text, font)]


BOLD = (True, False, None)


def search(*args):
    subprocess.run([cli, "search", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def tsv_rows(path):
    lines = path.read_bytes().decode().split("\r\n")
    check(lines[-1] == "", f"{path.name}: the last line has its CRLF")
    return [line.split("\t") for line in lines[:-1]]


def xlsx_runs(field, searched):
    """A line's field as its cell shows it: marks as fonts, characters XML
    cannot hold as blanks."""
    return [(re.sub("[\x00-\x1f\ufffe\uffff]", " ", t), f) for t, f in runs_of_field(field, searched)]


def check_all_formats(name, search_args, work):
    """One search exported in every format; each compared with its TSV."""
    out = {ext: work / f"{name}.{ext}" for ext in ("tsv", "csv", "tmx", "xlsx")}
    search(*search_args, "--tsv", str(out["tsv"]), "--csv", str(out["csv"]), "--tmx", str(out["tmx"]),
           "--xlsx", str(out["xlsx"]))
    tsv = tsv_rows(out["tsv"])
    check(len(tsv) > 0, f"{name}: hits")

    # CSV: BOM, CRLF, and the same fields once unquoted.
    raw = out["csv"].read_bytes()
    check(raw.startswith(b"\xef\xbb\xbf"), f"{name}.csv: byte-order mark")
    check(raw.count(b"\r\n") == len(tsv) + 1 and raw.replace(b"\r\n", b"").count(b"\n") == 0,
          f"{name}.csv: CRLF line ends")
    rows = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    check(rows == [HEADER] + tsv, f"{name}.csv: header and fields {rows!r}")

    # TMX: well formed, the header's attributes, one unit per hit.
    tmx = ET.parse(out["tmx"]).getroot()
    header = tmx.find("header")
    check(tmx.tag == "tmx" and tmx.get("version") == "1.4", f"{name}.tmx: root")
    english = plain(tsv[0][1]).find(".EN.") >= 0
    for attribute, value in [("creationtool", "Korvel"), ("segtype", "sentence"), ("o-tmf", "Korvel"),
                             ("adminlang", "en"), ("srclang", "en" if english else "zh"), ("datatype", "plaintext")]:
        check(header.get(attribute) == value, f"{name}.tmx: {attribute}={header.get(attribute)!r}")
    check(re.fullmatch(r"\d+\.\d+\.\d+", header.get("creationtoolversion") or "") is not None,
          f"{name}.tmx: creationtoolversion")
    tus = tmx.findall("body/tu")
    check(len(tus) == len(tsv), f"{name}.tmx: {len(tus)} units")
    forbidden = "[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]"
    for tu, row in zip(tus, tsv):
        props = {p.get("type"): p.text for p in tu.findall("prop")}
        check(props == {"x-file": row[1], "x-line": row[3]}, f"{name}.tmx: props {props}")
        segs = {tuv.get(XML_LANG): tuv.findtext("seg") or "" for tuv in tu.findall("tuv")}
        en, zh = (row[4], row[5]) if english else (row[5], row[4])
        check(segs == {"en": re.sub(forbidden, "", plain(en)), "zh": re.sub(forbidden, "", plain(zh))},
              f"{name}.tmx: segments {segs}")

    # XLSX: one sheet, the frozen header, numbers, and each mark in its font.
    book = Workbook(out["xlsx"])
    check([n for n, _ in book.sheets] == ["Hits"], f"{name}.xlsx: sheets")
    root = book.sheets[0][1]
    check(book.frozen_rows(root) == 1, f"{name}.xlsx: frozen header")
    rows = book.rows(root)
    check(len(rows) == len(tsv) + 1, f"{name}.xlsx: {len(rows)} rows")
    check(rows[0] == [text_runs(h, BOLD) for h in HEADER], f"{name}.xlsx: header {rows[0]}")
    for row, fields in zip(rows[1:], tsv):
        want = [float(fields[0]), text_runs(fields[1]), text_runs(fields[2]), float(fields[3]),
                xlsx_runs(fields[4], True), xlsx_runs(fields[5], False)]
        check(row == want, f"{name}.xlsx: row {fields[0]}:\n  {row}\nnot\n  {want}")
    return tsv, book


with tempfile.TemporaryDirectory() as tmp:
    work = Path(tmp)
    # Corpus caches go into the scratch folder, never the user's own.
    os.environ["XDG_CACHE_HOME"] = str(work / "cache")
    corpus, dic = str(fixtures / "corpus"), str(fixtures / "dic")

    # Every kind of mark: the query's, the equivalents', the filter's, and
    # 戒, an equivalent the filter also matches.
    tsv, book = check_all_formats("marks", ["--lemma", "--dic", dic, "--filter", "希望|戒|。", "give up", corpus], work)
    fonts = {font for row in book.rows(book.sheets[0][1])[1:] for cell in row[4:] for _, font in cell}
    check(fonts == set(FONTS.values()), f"marks.xlsx: every font of a mark, not only {fonts}")
    check(len(tsv) == 4, "marks: four hits")

    # Bytes XML cannot hold, an underscore Excel would read as an escape,
    # markup, a character beyond the BMP, and a field CSV must quote.
    hostile = work / "hostile"
    hostile.mkdir()
    (hostile / "h.EN.txt").write_bytes(
        b"a\x01b\x0bc _x0041_ \xef\xbf\xbf & <i> \xf0\x9f\x98\x80 say \"hi\", end\n")
    (hostile / "h.ZH.txt").write_bytes("甲\x02乙 _x0042_ 了\n".encode())
    check_all_formats("hostile", ["--dic", dic, "end", str(hostile)], work)
    check_all_formats("chinese", ["--dic", dic, "了", str(hostile)], work)

    # Limits far below Excel's: the fourth row of a sheet starts the next
    # one, and a cell holds 15 characters.
    query, rows_per_sheet, cell_units = "never|give up|Work", 4, 15
    search("--dic", dic, query, corpus, "--tsv", str(work / "small.tsv"))
    tsv = tsv_rows(work / "small.tsv")
    subprocess.run([small_xlsx, corpus, query, str(work / "small.xlsx"), str(rows_per_sheet), str(cell_units)],
                   check=True)
    book = Workbook(work / "small.xlsx")
    check([n for n, _ in book.sheets] == ["Hits", "Hits 2"], f"small.xlsx: sheets {book.sheets}")
    first, second = (book.rows(root) for _, root in book.sheets)
    check([t for t, _ in first[0][0]] == ["Some lines were cut at 15 characters (marked in the Cut column). "
                                         "The hits continue on sheet Hits 2."], f"small.xlsx: note {first[0]}")
    check([book.frozen_rows(root) for _, root in book.sheets] == [2, 1], "small.xlsx: frozen rows")
    header = [text_runs(h, BOLD) for h in HEADER + ["Cut"]]
    check(first[1] == header and second[0] == header, "small.xlsx: headers")
    check(len(first) == 4 and len(second) == 3, f"small.xlsx: rows {len(first)}, {len(second)}")
    cuts = 0
    for row, fields in zip(first[2:] + second[1:], tsv):
        cells = [cut(text_runs(fields[1]), cell_units), cut(text_runs(fields[2]), cell_units),
                 cut(runs_of_field(fields[4], True), cell_units), cut(runs_of_field(fields[5], False), cell_units)]
        any_cut = any(was for _, was in cells)
        cuts += any_cut
        want = [float(fields[0]), cells[0][0], cells[1][0], float(fields[3]), cells[2][0], cells[3][0]]
        want += [text_runs("cut")] if any_cut else []
        check(row == want, f"small.xlsx: row {fields[0]}:\n  {row}\nnot\n  {want}")
    check(cuts == 2, f"small.xlsx: {cuts} rows cut")

if failures:
    print("\n".join("FAIL: " + f for f in failures))
    sys.exit(1)
print("export formats: all checks passed")
