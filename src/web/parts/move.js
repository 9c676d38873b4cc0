// Moving entries: a small folder browser picks the target, starting in the
// folder they are in. A folder being moved cannot be entered, so nothing is
// ever moved into itself.
const moving = { from: "", names: [], at: "", seq: 0, moved: null };

function parentPath(path) { return path.split("/").slice(0, -1).join("/"); }

// moved(names) is told which entries left the folder.
function openMove(names, moved) {
  moving.from = cur;
  moving.names = names.slice();
  moving.moved = moved || null;
  $("moveTitle").textContent = names.length === 1 ? "Move \u201c" + names[0] + "\u201d" : "Move " + names.length + " items";
  $("moveMsg").textContent = "";
  showMoveFolder(cur);
  $("moveDialog").showModal();
}

function moveFolderItem(label, title, path, blocked) {
  const li = document.createElement("li");
  const b = document.createElement("button");
  b.type = "button";
  b.title = blocked ? "A folder cannot be moved into itself" : title;
  b.disabled = blocked;
  const icon = document.createElement("span");
  icon.className = "icon ic-folder";
  const text = document.createElement("span");
  text.textContent = label;
  b.append(icon, text);
  b.addEventListener("click", function () { showMoveFolder(path); });
  li.appendChild(b);
  return li;
}

async function showMoveFolder(path) {
  const seq = ++moving.seq;
  moving.at = path;
  $("moveTarget").textContent = "/" + path;
  $("moveHere").disabled = true;
  let items;
  try {
    const data = await api("/api/list?path=" + encodeURIComponent(path), { cache: "no-store" });
    items = Array.isArray(data.items) ? data.items : [];
  } catch (e) {
    if (seq === moving.seq) $("moveMsg").textContent = (e && e.message) || "Failed to list the folder";
    return;
  }
  if (seq !== moving.seq) return;
  const list = $("moveFolders");
  list.replaceChildren();
  if (path !== "") list.appendChild(moveFolderItem("..", "Up one folder", parentPath(path), false));
  const folders = items.filter(function (it) { return it.type === "dir"; })
    .map(function (it) { return String(it.name); })
    .sort(function (a, b) { return nameOrder.compare(a, b); });
  folders.forEach(function (name) {
    const blocked = path === moving.from && moving.names.indexOf(name) >= 0;
    list.appendChild(moveFolderItem(name, "Open " + name, path ? path + "/" + name : name, blocked));
  });
  if (!folders.length) {
    const li = document.createElement("li");
    li.className = "moveEmpty";
    li.textContent = "No folders here";
    list.appendChild(li);
  }
  $("moveHere").disabled = path === moving.from;
}

// Entries whose name is taken in the target stay where they are; the
// answer names them and so does the dialog, which then stays open.
async function moveHere() {
  $("moveHere").disabled = true;
  $("moveMsg").textContent = "";
  let data;
  try {
    const res = await fetch("/api/move", postJson({ path: moving.from, names: moving.names, to: moving.at }));
    if (res.status === 401) return answerOf(res);
    data = await res.json();
  } catch (e) {
    data = { ok: false, error: "Failed to move" };
  }
  refresh();
  const skipped = Array.isArray(data.skipped) ? data.skipped : [];
  if (data.ok === true && moving.moved) {
    moving.moved(moving.names.filter(function (n) { return skipped.indexOf(n) < 0; }));
  }
  if (data.ok === true && !skipped.length) {
    $("moveDialog").close();
    return;
  }
  const why = data.ok === true ? "These names are taken in /" + moving.at + " and were not moved" : (data.error || "Failed to move");
  $("moveMsg").textContent = skipped.length ? why + ": " + skipped.join(", ") : why;
  if (skipped.length) moving.names = moving.names.filter(function (n) { return skipped.indexOf(n) >= 0; });
  $("moveHere").disabled = moving.at === moving.from;
}

function wireMove() {
  $("moveCancel").addEventListener("click", function () { $("moveDialog").close(); });
  $("moveHere").addEventListener("click", moveHere);
}
