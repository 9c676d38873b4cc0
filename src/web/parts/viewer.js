// The view pages through the viewable files of the folder, in the order the
// page shows them: by the on-screen arrows, the arrow keys and a sideways
// swipe. The pictures either side are loaded ahead, and the elements made
// for them are the ones shown when the view gets there.
const pager = {
  source: null,  // { names(): viewable names in shown order, urlOf(name), download(name) }
  name: "",      // the file on screen
  ready: new Map(),  // address -> element made for it: the one on screen and its neighbours
};

// The names of a listing's files that the view shows, in the listing's order.
function viewableNamesOf(items) {
  return items.filter(function (it) { return it.type !== "dir" && viewKind(String(it.name)); })
    .map(function (it) { return String(it.name); });
}

function viewableNames() {
  return pager.source ? pager.source.names() : [pager.name];
}

// Shows one file in the open view: its element, name, place and neighbours.
function showViewed(name, url) {
  let names = viewableNames();
  let at = names.indexOf(name);
  if (at < 0) {
    names = [name];
    at = 0;
  }
  pager.name = name;
  const el = pager.ready.get(url) || viewElement(name, url);
  $("viewerName").textContent = name;
  $("viewerCount").textContent = (at + 1) + " / " + names.length;
  $("viewerPrev").disabled = at === 0;
  $("viewerNext").disabled = at === names.length - 1;
  $("viewer").classList.toggle("viewerSingle", names.length < 2);
  $("viewerStage").replaceChildren(el);
  const keep = new Map([[url, el]]);
  [names[at - 1], names[at + 1]].forEach(function (n) {
    if (n === undefined || viewKind(n) !== "img") return;
    const u = pager.source.urlOf(n);
    keep.set(u, pager.ready.get(u) || viewElement(n, u));
  });
  pager.ready = keep;
}

function forgetViewed() {
  pager.name = "";
  pager.ready = new Map();
}

function viewerOpen() { return !$("viewer").classList.contains("viewerHidden"); }

// One step back (-1) or on (+1) from the file on screen; nothing past either end.
function pageBy(step) {
  if (!viewerOpen() || !pager.source) return;
  const names = viewableNames();
  const at = names.indexOf(pager.name);
  const to = at + step;
  if (at < 0 || to < 0 || to >= names.length) return;
  showViewed(names[to], pager.source.urlOf(names[to]));
}

// A swipe: one finger, mostly sideways, far enough, and not while the page
// is zoomed in (then the finger moves the picture instead). A touch on a
// song or a video's control strip is left to the player.
function wireSwipe(area) {
  let start = null;
  area.addEventListener("touchstart", function (e) {
    start = null;
    if (e.touches.length !== 1) return;
    const t = e.touches[0];
    const media = e.target.closest && e.target.closest("audio, video");
    if (media && (media.tagName === "AUDIO" || t.clientY > media.getBoundingClientRect().bottom - 56)) return;
    start = { x: t.clientX, y: t.clientY };
  }, { passive: true });
  area.addEventListener("touchmove", function (e) {
    if (e.touches.length !== 1) start = null;
  }, { passive: true });
  area.addEventListener("touchcancel", function () { start = null; }, { passive: true });
  area.addEventListener("touchend", function (e) {
    if (!start || e.changedTouches.length !== 1) return;
    const t = e.changedTouches[0];
    const dx = t.clientX - start.x;
    const dy = t.clientY - start.y;
    start = null;
    if (zoomedIn() || Math.abs(dx) < 50 || Math.abs(dx) < 2 * Math.abs(dy)) return;
    pageBy(dx < 0 ? 1 : -1);
  }, { passive: true });
}

function zoomedIn() { return !!window.visualViewport && window.visualViewport.scale > 1.05; }

function wirePager(source) {
  pager.source = source;
  $("viewerPrev").addEventListener("click", function () { pageBy(-1); });
  $("viewerNext").addEventListener("click", function () { pageBy(1); });
  $("viewerDownload").addEventListener("click", function () { if (pager.name) source.download(pager.name); });
  document.addEventListener("keydown", function (e) {
    if (!viewerOpen() || e.altKey || e.ctrlKey || e.metaKey) return;
    // A player in focus seeks with the arrows.
    if (e.target && e.target.closest && e.target.closest("audio, video")) return;
    // So do a text box (a rename) and a dialog opened over the view.
    if (e.target && e.target.closest && e.target.closest("input, textarea, dialog")) return;
    if (e.key === "ArrowLeft" || e.key === "ArrowRight") {
      e.preventDefault();
      pageBy(e.key === "ArrowLeft" ? -1 : 1);
    }
  });
  wireSwipe($("viewer"));
  // While the page is zoomed in, a finger pans it every way; else sideways
  // moves are the view's own, never the browser's back gesture.
  if (window.visualViewport) {
    window.visualViewport.addEventListener("resize", function () {
      $("viewer").classList.toggle("viewerZoomed", zoomedIn());
    });
  }
}
