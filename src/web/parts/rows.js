// The rows of a listing. Each entry's row is made once and kept while the
// entry is there, so a reload that finds a few entries added, gone or
// changed touches only those rows: the rest keep their place on the
// screen, their focus and a click under way. A listing drawn anew (another
// folder, the other view) shows its first screenful at once and the rest
// in batches after that frame, so a large folder is on screen before it is
// complete.
//
// An entry is { key, shape, sig, make(), fill(tr) }: rows are matched by
// key; a row of the same shape whose sig differs is filled in again by
// fill(tr) where the entry has one, and made again by make() otherwise.
const FIRST_ROWS = 100;
const MORE_ROWS = 1000;
const rowKeys = new WeakMap();  // row -> { key, shape, sig } of the entry it shows
let rowsWaiting = null;  // { tbody, entries, at } while rows of a new drawing are still to come

// One action button of a row model: its symbol and title, and in data-act the
// action the table's one listener runs for the row's entry.
function actionButton(acts, cls, title, act) {
  const b = iconButton(cls, title);
  b.dataset.act = act;
  acts.appendChild(b);
  return b;
}

function madeRow(entry) {
  const tr = entry.make();
  rowKeys.set(tr, { key: entry.key, shape: entry.shape, sig: entry.sig });
  return tr;
}

function appendRows(tbody, entries, from, to) {
  const frag = document.createDocumentFragment();
  for (let i = from; i < to; i++) frag.appendChild(madeRow(entries[i]));
  tbody.appendChild(frag);
}

function drawWaitingRows(job) {
  if (rowsWaiting !== job) return;
  const end = Math.min(job.entries.length, job.at + MORE_ROWS);
  appendRows(job.tbody, job.entries, job.at, end);
  job.at = end;
  if (end < job.entries.length) setTimeout(function () { drawWaitingRows(job); }, 0);
  else rowsWaiting = null;
}

// Whoever needs every row in place (to find one, or to change the drawing)
// has the waiting ones drawn first.
function finishRows() {
  const job = rowsWaiting;
  if (!job) return;
  rowsWaiting = null;
  appendRows(job.tbody, job.entries, job.at, job.entries.length);
}

function showRows(tbody, entries, fresh) {
  finishRows();
  if (fresh || !tbody.firstChild) {
    tbody.replaceChildren();
    // A hidden page paints nothing, and waits for no frame either.
    const first = document.hidden ? entries.length : Math.min(entries.length, FIRST_ROWS);
    appendRows(tbody, entries, 0, first);
    if (first < entries.length) {
      const job = { tbody: tbody, entries: entries, at: first };
      rowsWaiting = job;
      requestAnimationFrame(function () { setTimeout(function () { drawWaitingRows(job); }, 0); });
    }
    return;
  }
  const wanted = new Map();
  entries.forEach(function (e) { wanted.set(e.key, e); });
  const kept = new Map();
  Array.from(tbody.children).forEach(function (tr) {
    const was = rowKeys.get(tr);
    const e = was && !kept.has(was.key) ? wanted.get(was.key) : null;
    if (!e || e.shape !== was.shape || (e.sig !== was.sig && !e.fill)) {
      tr.remove();
      return;
    }
    if (e.sig !== was.sig) {
      e.fill(tr);
      was.sig = e.sig;
    }
    kept.set(was.key, tr);
  });
  // The kept rows are in the listing's order already unless the order itself changed.
  let at = tbody.firstChild;
  entries.forEach(function (e) {
    const tr = kept.get(e.key) || madeRow(e);
    if (tr === at) at = at.nextSibling;
    else tbody.insertBefore(tr, at);
  });
}

// The row an event happened in, with the key of its entry.
function rowKeyOf(el) {
  const tr = el.closest("tr");
  const was = tr && rowKeys.get(tr);
  return was ? was.key : null;
}
