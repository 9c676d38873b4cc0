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

function openView(name, url) {
  const kind = viewKind(name);
  if (!kind) return;
  const el = document.createElement(kind);
  if (kind === "video" || kind === "audio") {
    el.controls = true;
    el.playsInline = true;
  }
  if (kind === "img") el.alt = name;
  if (kind === "iframe") el.title = name;
  el.src = url + "&view=1";
  $("viewerName").textContent = name;
  $("viewerStage").replaceChildren(el);
  $("viewer").classList.remove("viewerHidden");
  $("viewerClose").focus();
}

// Taking the element out stops a video or a song at once.
function closeView() {
  $("viewer").classList.add("viewerHidden");
  $("viewerStage").replaceChildren();
}

function wireView() {
  $("viewerClose").addEventListener("click", closeView);
  document.addEventListener("keydown", function (e) {
    if (e.key === "Escape" && !$("viewer").classList.contains("viewerHidden")) closeView();
  });
}

// Folders first, then files, by name (case-insensitive, digits as numbers)
// or by size; the choice is kept in this browser.
const nameOrder = new Intl.Collator(undefined, { numeric: true, sensitivity: "base" });
let order = readOrder();

function readOrder() {
  try {
    const o = JSON.parse(localStorage.getItem("vantrel.order") || "null");
    if (o && (o.key === "name" || o.key === "size")) return { key: o.key, desc: o.desc === true };
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
    let d = order.key === "size" ? (Number(a.size) || 0) - (Number(b.size) || 0) : 0;
    if (d === 0) d = nameOrder.compare(an, bn);
    if (d === 0) d = an < bn ? -1 : an > bn ? 1 : 0;
    return d * dir;
  });
}

function showOrder() {
  document.querySelectorAll("th.sortable").forEach(function (th) {
    const on = th.dataset.sort === order.key;
    th.setAttribute("aria-sort", on ? (order.desc ? "descending" : "ascending") : "none");
    th.querySelector(".arrow").textContent = on ? (order.desc ? " \u25bc" : " \u25b2") : "";
  });
}

function wireOrder(redraw) {
  document.querySelectorAll("th.sortable").forEach(function (th) {
    const choose = function () {
      order = { key: th.dataset.sort, desc: order.key === th.dataset.sort ? !order.desc : false };
      try {
        localStorage.setItem("vantrel.order", JSON.stringify(order));
      } catch (e) {
        // Without storage the order holds for this page only.
      }
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
  showOrder();
}
