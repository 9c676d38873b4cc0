// The gallery: the same rows as the list, drawn as a grid of tiles with a
// thumbnail each (a class on the table switches the look), so selection,
// the action buttons and every bulk action are those of the list. The
// choice of list or grid is kept in this browser.
//
// A tile asks for its thumbnail only once it comes near the screen, through
// the bounded loader; files the server has no preview for, files of other
// types and folders show their type icon.

// What the server may make a preview of (photos, and video frames where the
// system can decode them); everything else shows its icon without asking.
const THUMB_TYPES = new Set([
  "jpg", "jpeg", "jpe", "jfif", "png", "gif", "webp", "bmp", "tif", "tiff", "heic", "heif", "avif", "jxl",
  "dng", "cr2", "cr3", "nef", "arw", "orf", "rw2", "raf", "srw", "pef",
  "mp4", "mov", "m4v", "webm", "mkv", "avi", "3gp", "wmv",
]);

const gallery = {
  mode: readViewMode(),
  thumbBase: null,  // name -> the thumbnail address without size and date
  redraw: null,
  loader: thumbLoader(THUMBS_AT_ONCE),
  jobs: new Map(),  // tile picture box -> its job, while it waits for its thumbnail
  observer: null,
  sweepDue: false,
};

function readViewMode() {
  try {
    return localStorage.getItem("vantrel.view") === "grid" ? "grid" : "list";
  } catch (e) {
    return "list";
  }
}

function canThumb(name) {
  const m = /\.([^.]+)$/.exec(name);
  return !!m && THUMB_TYPES.has(m[1].toLowerCase());
}

// 160 pixels where that covers the tile on this screen (a phone), else 320.
function thumbSize(box) {
  const need = (box.clientWidth || 160) * (window.devicePixelRatio || 1);
  return need <= 200 ? 160 : 320;
}

function gridTable() { return $("rows").closest("table"); }

function showViewMode() {
  const grid = gallery.mode === "grid";
  gridTable().classList.toggle("grid", grid);
  document.querySelectorAll("[data-view]").forEach(function (b) {
    b.setAttribute("aria-pressed", b.dataset.view === gallery.mode ? "true" : "false");
  });
}

function setViewMode(mode) {
  if (mode !== "grid" && mode !== "list") return;
  gallery.mode = mode;
  try {
    localStorage.setItem("vantrel.view", mode);
  } catch (e) {
    // Without storage the choice holds for this page only.
  }
  showViewMode();
  gallery.redraw();
  sweepTiles();
}

// options: { thumbBase(name), redraw() }
function wireGallery(options) {
  gallery.thumbBase = options.thumbBase;
  gallery.redraw = options.redraw;
  document.querySelectorAll("[data-view]").forEach(function (b) {
    b.addEventListener("click", function () { if (b.dataset.view !== gallery.mode) setViewMode(b.dataset.view); });
  });
  if ("IntersectionObserver" in window) {
    gallery.observer = new IntersectionObserver(nearScreen, { rootMargin: "200px 0px" });
  }
  showViewMode();
}

function nearScreen(entries) {
  entries.forEach(function (e) {
    const job = gallery.jobs.get(e.target);
    if (!job) return;
    if (!job.url) job.url = job.base + "&size=" + thumbSize(e.target) + "&m=" + job.modified;
    if (e.isIntersecting) gallery.loader.want(job.url, job.done);
    else gallery.loader.drop(job.url, job.done);
  });
}

// Tiles of an earlier drawing that are gone stop being watched, and their
// thumbnails are no longer asked for (the loader skips them anyway).
function sweepTiles() {
  gallery.sweepDue = false;
  gallery.jobs.forEach(function (job, box) {
    if (box.isConnected) return;
    if (job.url) gallery.loader.drop(job.url, job.done);
    if (gallery.observer) gallery.observer.unobserve(box);
    gallery.jobs.delete(box);
  });
}

function typeIconOf(isDir) {
  const s = document.createElement("span");
  s.className = "icon tileIcon " + (isDir ? "ic-folder" : "ic-file");
  return s;
}

// The picture cell of a row, made only in the grid: the thumbnail, or the
// type icon; `open` (a folder's or a viewable file's own action) runs on a
// tap. `item` null stands for the way up.
function thumbCell(tr, item, open) {
  if (gallery.mode !== "grid") return;
  if (!gallery.sweepDue) {
    gallery.sweepDue = true;
    queueMicrotask(sweepTiles);
  }
  const isDir = !item || item.type === "dir";
  const name = item ? String(item.name) : "..";
  const td = document.createElement("td");
  td.className = "thumb";
  const box = document.createElement(open ? "button" : "div");
  box.className = "tilePic";
  if (open) {
    box.type = "button";
    box.setAttribute("aria-label", (isDir ? "Open " : "View ") + name);
    box.addEventListener("click", open);
  }
  td.appendChild(box);
  tr.insertBefore(td, tr.firstChild);
  if (isDir || !canThumb(name) || !gallery.thumbBase) {
    box.appendChild(typeIconOf(isDir));
    return td;
  }
  const img = document.createElement("img");
  img.alt = "";
  img.decoding = "async";
  img.className = "thumbPending";
  box.appendChild(img);
  const job = {
    base: gallery.thumbBase(name),
    modified: Number(item.modified) || 0,
    url: "",
    done: function (ok) {
      if (gallery.jobs.get(box) !== job) return;
      gallery.jobs.delete(box);
      if (gallery.observer) gallery.observer.unobserve(box);
      if (ok) {
        img.src = job.url;
        img.className = "";
        return;
      }
      img.remove();
      box.appendChild(typeIconOf(false));
      box.classList.add("noPreview");
    },
  };
  job.done.live = function () { return box.isConnected; };
  gallery.jobs.set(box, job);
  if (gallery.observer) {
    gallery.observer.observe(box);
  } else {
    job.url = job.base + "&size=320&m=" + job.modified;
    gallery.loader.want(job.url, job.done);
  }
  return td;
}
