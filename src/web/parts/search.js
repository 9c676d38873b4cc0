// Search below the current folder. Results name their folder; a folder
// opens, a file opens its folder and is shown there (in the viewer when
// it can be viewed).
let searchSeq = 0;

async function runSearch() {
  const q = $("searchBox").value.trim();
  if (!q) { closeSearch(); return; }
  const seq = ++searchSeq;
  const base = cur;
  $("searchPanel").hidden = false;
  $("searchInfo").textContent = "Searching\u2026";
  $("searchList").replaceChildren();
  let data;
  try {
    data = await api("/api/search?path=" + encodeURIComponent(base) + "&q=" + encodeURIComponent(q));
  } catch (e) {
    if (seq === searchSeq) $("searchInfo").textContent = (e && e.message) || "Search failed";
    return;
  }
  if (seq !== searchSeq) return;
  const items = Array.isArray(data.items) ? data.items : [];
  let info = (items.length === 1 ? "1 result" : items.length + " results") + " for \u201c" + q + "\u201d in " + "/" + base;
  if (data.truncated) info += " (more exist; type more of the name to narrow it)";
  $("searchInfo").textContent = info;
  $("searchList").replaceChildren(...items.map(searchHit));
}

function searchHit(it) {
  const name = String(it.name);
  const folder = String(it.path);
  const isDir = it.type === "dir";
  const li = document.createElement("li");
  const icon = document.createElement("span");
  icon.className = "icon " + (isDir ? "ic-folder" : "ic-file");
  const text = document.createElement("span");
  text.className = "hitText";
  const a = document.createElement("a");
  a.href = "#";
  a.textContent = name;
  a.addEventListener("click", function (e) {
    e.preventDefault();
    openFound(folder, name, isDir);
  });
  const where = document.createElement("span");
  where.className = "where";
  where.textContent = "/" + folder + (isDir ? "" : " \u00b7 " + fmtSize(it.size));
  text.append(a, where);
  li.append(icon, text);
  return li;
}

async function openFound(folder, name, isDir) {
  closeSearch();
  cur = isDir ? (folder ? folder + "/" + name : name) : folder;
  await refresh();
  if (isDir) return;
  finishRows();
  const box = document.querySelector("#rows input.itemSel[data-name=\"" + CSS.escape(name) + "\"]");
  const row = box ? box.closest("tr") : null;
  if (row) {
    row.classList.add("found");
    row.scrollIntoView({ block: "center" });
    setTimeout(function () { row.classList.remove("found"); }, 2500);
  }
  if (viewKind(name)) openView(name, downloadUrl(name));
}

function closeSearch() {
  searchSeq++;
  $("searchPanel").hidden = true;
  $("searchList").replaceChildren();
}

function wireSearch() {
  $("searchForm").addEventListener("submit", function (e) {
    e.preventDefault();
    runSearch();
  });
  $("searchBox").addEventListener("keydown", function (e) {
    if (e.key === "Escape") { $("searchBox").value = ""; closeSearch(); }
  });
  $("searchBox").addEventListener("search", function () { if (!$("searchBox").value) closeSearch(); });
  $("searchClose").addEventListener("click", function () {
    $("searchBox").value = "";
    closeSearch();
  });
}
