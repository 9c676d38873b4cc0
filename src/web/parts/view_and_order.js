// The types the view shows, by extension; the server sends exactly these
// inline and every other file as a download.
const VIEW_KINDS = {
  jpg: "img", jpeg: "img", png: "img", gif: "img", webp: "img", avif: "img", bmp: "img",
  mp4: "video", webm: "video", mov: "video", m4v: "video",
  mp3: "audio", m4a: "audio", aac: "audio", ogg: "audio", opus: "audio", wav: "audio", flac: "audio",
  pdf: "iframe", txt: "iframe",
};

function viewKind(name) {
  const m = /\.([^.]+)$/.exec(name);
  const ext = m ? m[1].toLowerCase() : "";
  return Object.prototype.hasOwnProperty.call(VIEW_KINDS, ext) ? VIEW_KINDS[ext] : null;
}

// The element that shows one file; nothing for a type the view does not show.
function viewElement(name, url) {
  const kind = viewKind(name);
  if (!kind) return null;
  const el = document.createElement(kind);
  if (kind === "video" || kind === "audio") {
    el.controls = true;
    el.playsInline = true;
  }
  if (kind === "img") el.alt = name;
  if (kind === "iframe") el.title = name;
  el.src = url + "&view=1";
  return el;
}

function openView(name, url) {
  if (!viewKind(name)) return;
  showViewed(name, url);
  $("viewer").classList.remove("viewerHidden");
  document.documentElement.classList.add("viewing");
  $("viewerClose").focus();
}

// Taking the element out stops a video or a song at once.
function closeView() {
  $("viewer").classList.add("viewerHidden");
  document.documentElement.classList.remove("viewing");
  $("viewerStage").replaceChildren();
  forgetViewed();
}

function wireView() {
  $("viewerClose").addEventListener("click", closeView);
  document.addEventListener("keydown", function (e) {
    // Escape in a dialog or menu over the view closes that one only.
    if (e.key !== "Escape" || e.defaultPrevented || $("viewer").classList.contains("viewerHidden")) return;
    if (document.querySelector("dialog[open]")) return;
    closeView();
  });
}

// Folders first, then files, by name (case-insensitive, digits as numbers),
// by size or by date; the choice is kept in this browser. The column
// headers and the sort picker both set it.
const nameOrder = new Intl.Collator(undefined, { numeric: true, sensitivity: "base" });
const ORDER_KEYS = ["name", "size", "modified"];
// The picker's choices; a header sets the same orders, and either way
// the picker shows the one in force.
const PICKED_ORDERS = {
  name: { key: "name", desc: false },
  size: { key: "size", desc: true },
  newest: { key: "modified", desc: true },
  oldest: { key: "modified", desc: false },
};
let order = readOrder();

function readOrder() {
  try {
    const o = JSON.parse(localStorage.getItem("vantrel.order") || "null");
    if (o && ORDER_KEYS.indexOf(o.key) >= 0) return { key: o.key, desc: o.desc === true };
  } catch (e) {
    // No storage, or something else under the key: the default order.
  }
  return { key: "name", desc: false };
}

function sortedItems(items) {
  const dir = order.desc ? -1 : 1;
  return items.slice().sort(function (a, b) {
    const aDir = a.type === "dir";
    if (aDir !== (b.type === "dir")) return aDir ? -1 : 1;
    const an = String(a.name);
    const bn = String(b.name);
    let d = 0;
    if (order.key === "size") d = (Number(a.size) || 0) - (Number(b.size) || 0);
    if (order.key === "modified") d = (Number(a.modified) || 0) - (Number(b.modified) || 0);
    if (d !== 0) return d * dir;
    // Equal sizes or dates keep the name order.
    d = nameOrder.compare(an, bn);
    if (d === 0) d = an < bn ? -1 : an > bn ? 1 : 0;
    return order.key === "name" ? d * dir : d;
  });
}

function showOrder() {
  document.querySelectorAll("th.sortable").forEach(function (th) {
    const on = th.dataset.sort === order.key;
    th.setAttribute("aria-sort", on ? (order.desc ? "descending" : "ascending") : "none");
    th.querySelector(".arrow").textContent = on ? (order.desc ? " \u25bc" : " \u25b2") : "";
  });
  const pick = document.getElementById("sortPick");
  if (pick) pick.value = order.key === "modified" ? (order.desc ? "newest" : "oldest") : order.key;
}

function keepOrder() {
  try {
    localStorage.setItem("vantrel.order", JSON.stringify(order));
  } catch (e) {
    // Without storage the order holds for this page only.
  }
}

function wireOrder(redraw) {
  document.querySelectorAll("th.sortable").forEach(function (th) {
    // A date column starts with the newest, the others from the smallest.
    const choose = function () {
      const key = th.dataset.sort;
      order = { key: key, desc: order.key === key ? !order.desc : key === "modified" };
      keepOrder();
      showOrder();
      redraw();
    };
    th.tabIndex = 0;
    th.addEventListener("click", choose);
    th.addEventListener("keydown", function (e) {
      if (e.key !== "Enter" && e.key !== " ") return;
      e.preventDefault();
      choose();
    });
  });
  const pick = document.getElementById("sortPick");
  if (pick) {
    pick.addEventListener("change", function () {
      const o = PICKED_ORDERS[pick.value];
      if (!o) return;
      order = { key: o.key, desc: o.desc };
      keepOrder();
      showOrder();
      redraw();
    });
  }
  showOrder();
}
