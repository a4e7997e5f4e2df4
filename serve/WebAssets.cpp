#include "serve/WebAssets.h"

namespace kalvero {

const char* WebStyleSheet() {
    return R"CSS(:root {
  --ink: #1d2733; --muted: #5f6b7a; --line: #dde3ea; --paper: #ffffff; --ground: #f3f5f8;
  --accent: #1f5fa8; --good: #1b7f3b; --bad: #b42318; --warn: #9a6700;
  --mono: "DejaVu Sans Mono", "Liberation Mono", "Cousine", Menlo, Consolas, monospace;
}
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.45 "DejaVu Sans", "Liberation Sans", Arimo, Arial, sans-serif;
  color: var(--ink); background: var(--ground); }
a { color: var(--accent); text-decoration: none; }
a:hover { text-decoration: underline; }
header.bar { display: flex; align-items: center; gap: 24px; padding: 10px 28px; background: #17324f; color: #fff; }
header.bar .brand { font-weight: 700; font-size: 18px; letter-spacing: .04em; color: #fff; }
header.bar nav { display: flex; gap: 18px; flex: 1; }
header.bar nav a { color: #d6e4f5; }
header.bar nav a.here { color: #fff; font-weight: 700; }
header.bar form { margin: 0; }
header.bar button { background: transparent; color: #d6e4f5; border: 1px solid #5b7a9c; }
main { max-width: 1180px; margin: 24px auto; padding: 0 24px; }
h1 { font-size: 22px; margin: 0 0 16px; }
h2 { font-size: 17px; margin: 24px 0 10px; }
.card { background: var(--paper); border: 1px solid var(--line); border-radius: 8px; padding: 16px 20px; }
.muted { color: var(--muted); }
.note { color: var(--muted); font-size: 13px; }
.message { padding: 10px 14px; border-radius: 6px; margin: 0 0 16px; }
.message.error { background: #fdecea; color: var(--bad); border: 1px solid #f5c2bd; }
.message.ok { background: #e8f5ec; color: var(--good); border: 1px solid #b9e0c4; }
form.search { display: flex; flex-wrap: wrap; gap: 12px; align-items: flex-end; margin-bottom: 16px; }
form.search label { display: flex; flex-direction: column; font-size: 13px; color: var(--muted); gap: 4px; }
input, select, button { font: inherit; padding: 6px 10px; border: 1px solid #c3ccd6; border-radius: 6px;
  background: #fff; color: var(--ink); }
input.number { font-family: var(--mono); font-size: 16px; width: 12ch; letter-spacing: .04em; }
button { cursor: pointer; }
button.primary, a.button { background: var(--accent); color: #fff; border-color: var(--accent); }
a.button { display: inline-block; padding: 6px 12px; border-radius: 6px; }
a.button.plain { background: #fff; color: var(--accent); border: 1px solid #c3ccd6; }
table { width: 100%; border-collapse: collapse; background: var(--paper); }
table.list { border: 1px solid var(--line); border-radius: 8px; overflow: hidden; }
th, td { text-align: left; padding: 8px 12px; border-bottom: 1px solid var(--line); vertical-align: middle; }
th { background: #eef2f6; font-size: 13px; color: var(--muted); font-weight: 600; white-space: nowrap; }
tr:last-child td { border-bottom: none; }
table.list tbody tr:hover { background: #f7f9fc; }
td.num, .num { font-family: var(--mono); font-size: 17px; letter-spacing: .06em; white-space: nowrap; }
.read { font-family: var(--mono); color: var(--muted); text-decoration: line-through; font-size: 13px; margin-left: 8px; }
.corrected { font-size: 11px; background: #fff4d6; color: var(--warn); border-radius: 4px; padding: 1px 6px; margin-left: 6px; }
td.time { white-space: nowrap; font-variant-numeric: tabular-nums; }
td.right, th.right { text-align: right; font-variant-numeric: tabular-nums; }
img.thumb { height: 40px; max-width: 180px; object-fit: contain; background: #222; border-radius: 4px; display: block; }
img.crop { width: 100%; max-width: 520px; height: auto; background: #222; border-radius: 6px; display: block; }
.nocrop { display: inline-block; font-size: 12px; color: var(--muted); }
.pager { display: flex; justify-content: space-between; align-items: center; margin: 14px 0; }
.grid2 { display: grid; grid-template-columns: minmax(280px, 1fr) minmax(280px, 1fr); gap: 20px; }
dl.fields { display: grid; grid-template-columns: max-content 1fr; gap: 6px 18px; margin: 0; }
dl.fields dt { color: var(--muted); }
dl.fields dd { margin: 0; }
.status { display: inline-block; white-space: nowrap; border-radius: 10px; padding: 1px 10px; font-size: 13px; }
.status.on { background: #e8f5ec; color: var(--good); }
.status.off { background: #fdecea; color: var(--bad); }
.status.done { background: #eef2f6; color: var(--muted); }
table#frames { max-width: 480px; }
svg.plot { width: 100%; max-width: 680px; height: auto; background: #fff; }
svg.plot .grid { stroke: #e6ebf0; stroke-width: 1; }
svg.plot .tick { fill: #5f6b7a; font-size: 11px; }
svg.plot .line { fill: none; stroke: #1f5fa8; stroke-width: 2; }
svg.plot .dot { fill: #1f5fa8; }
.signin { max-width: 380px; margin: 12vh auto; }
.signin form { display: flex; flex-direction: column; gap: 12px; }
.error-text { color: var(--bad); }
@media (max-width: 800px) { .grid2 { grid-template-columns: 1fr; } header.bar { flex-wrap: wrap; } }
)CSS";
}

const char* WebScript() {
    return R"JS('use strict';
// A crop that cannot be shown (a pass without one) leaves a short note.
document.querySelectorAll('img.thumb, img.crop').forEach(function (img) {
  img.addEventListener('error', function () {
    var note = document.createElement('span');
    note.className = 'nocrop';
    note.textContent = 'no crop';
    img.replaceWith(note);
  });
});
// The correction takes exactly 8 digits; say so before the server does.
var field = document.getElementById('correction');
if (field) {
  field.addEventListener('input', function () {
    field.setCustomValidity(/^[0-9]{8}$/.test(field.value) ? '' : 'Eight digits, nothing else.');
  });
}
// The camera status refreshes itself.
if (document.body.dataset.refresh) {
  setTimeout(function () { location.reload(); }, Number(document.body.dataset.refresh) * 1000);
}
)JS";
}

}  // namespace kalvero
