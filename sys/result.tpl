<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<title>Korvel results</title>
<style>
body { margin: 0; padding: 8px; font-family: "Noto Sans", "Noto Sans CJK SC", "DejaVu Sans", sans-serif; font-size: 14px; color: #1d1d1f; background: #fff; }
table { border-collapse: collapse; width: 100%; }
td { padding: 3px 8px; vertical-align: top; line-height: 1.5; }
tr.o td { background: #f1f5fa; }
td.no { width: 3em; text-align: right; color: #6e6e73; border-right: 1px solid #d8dde5; }
span.x { color: #8a8f98; font-size: 12px; white-space: nowrap; }
span.en { color: #b3261e; font-weight: bold; }
span.zh { color: #0b57d0; font-weight: bold; }
span.f { background: #fff2a8; }
span.t { background: #e3f4e8; border-bottom: 2px solid #2e8b57; }
tr.more td { color: #6e6e73; font-style: italic; padding-top: 10px; }
</style>
</head>
<body>
<table>
{@content}
</table>
</body>
</html>
