// The share dialog: a link with a chosen lifetime, as text and as QR code,
// and the links that still work, each of which can be ended at once.
const sharing = { path: null, link: "", token: "", seq: 0 };

function qrUrl(text) { return "/api/qr?text=" + encodeURIComponent(text); }

function endsText(expiresAt) {
  return "Ends " + new Date(expiresAt * 1000).toLocaleString(undefined, { dateStyle: "medium", timeStyle: "short" });
}

function onLoopback() { return /^(127\.|\[::1\]$|localhost$)/.test(location.hostname); }

// A page opened on this computer's own loopback address would hand out links
// no other device can open; the program's own address works everywhere.
function linkOfAnswer(data) {
  if (data.url && (onLoopback() || !data.path)) return String(data.url);
  return data.path ? location.origin + data.path : "";
}

function tokenOfLink(link) {
  const m = /\/[sd]\/([0-9a-f]+)$/.exec(link);
  return m ? m[1] : "";
}

async function copyInto(button, input) {
  input.select();
  const copied = await copyText(input.value);
  const before = button.textContent;
  button.textContent = copied === false ? "Select and copy" : "Copied";
  setTimeout(function () { button.textContent = before; }, 1500);
}

// path is the client path of the entry to share, or null for the list alone.
function openShareDialog(path) {
  sharing.path = path;
  sharing.link = "";
  sharing.token = "";
  const name = path === null ? "" : path.split("/").pop();
  $("shareTitle").textContent = path === null ? "Share links" : "Share \u201c" + name + "\u201d";
  $("shareNew").hidden = path === null;
  $("shareMade").hidden = true;
  $("shareCreate").hidden = false;
  $("shareCreate").disabled = false;
  $("shareLife").disabled = false;
  document.querySelector("input[name=shareHours][value=\"24\"]").checked = true;
  $("shareMsg").textContent = "";
  showShareList();
  $("shareDialog").showModal();
}

async function createShareLink() {
  const hours = Number(document.querySelector("input[name=shareHours]:checked").value);
  $("shareCreate").disabled = true;
  $("shareMsg").textContent = "";
  try {
    const data = await api("/api/share", postJson({ path: sharing.path, hours: hours }));
    const link = linkOfAnswer(data);
    if (!link) throw new Error("No URL returned");
    sharing.link = link;
    sharing.token = tokenOfLink(link);
    $("shareLink").value = link;
    $("shareQr").src = qrUrl(link);
    $("shareEnds").textContent = endsText(data.expiresAt);
    $("shareMade").hidden = false;
    $("shareCreate").hidden = true;
    $("shareLife").disabled = true;
  } catch (e) {
    $("shareMsg").textContent = (e && e.message) || "Failed to create share link";
    $("shareCreate").disabled = false;
  }
  showShareList();
}

function shareListItem(it) {
  const link = String(it.url);
  const li = document.createElement("li");
  const what = document.createElement("span");
  what.className = "linkWhat";
  what.textContent = (it.kind === "dir" ? "Folder /" : "File /") + String(it.path);
  const ends = document.createElement("span");
  ends.className = "linkEnds";
  ends.textContent = endsText(Number(it.expiresAt));
  what.appendChild(ends);
  const hidden = document.createElement("input");
  hidden.value = link;
  hidden.readOnly = true;
  hidden.hidden = true;
  const copy = document.createElement("button");
  copy.type = "button";
  copy.textContent = "Copy";
  copy.addEventListener("click", function () {
    hidden.hidden = false;
    copyInto(copy, hidden);
  });
  const qr = document.createElement("button");
  qr.type = "button";
  qr.textContent = "QR";
  qr.addEventListener("click", function () {
    const shown = li.querySelector("img.qr");
    if (shown) { shown.remove(); return; }
    const img = document.createElement("img");
    img.className = "qr";
    img.alt = "QR code of the link";
    img.src = qrUrl(link);
    li.appendChild(img);
  });
  const end = document.createElement("button");
  end.type = "button";
  end.textContent = "End now";
  end.addEventListener("click", function () { endShareLink(String(it.token), end); });
  li.append(what, copy, qr, end, hidden);
  return li;
}

async function showShareList() {
  const seq = ++sharing.seq;
  const list = $("shareList");
  let items;
  try {
    const data = await api("/api/shares");
    items = Array.isArray(data.items) ? data.items : [];
  } catch (e) {
    if (seq !== sharing.seq) return;
    const li = document.createElement("li");
    li.className = "noLinks";
    li.textContent = (e && e.message) || "Failed to list the links";
    list.replaceChildren(li);
    return;
  }
  if (seq !== sharing.seq) return;
  items.sort(function (a, b) { return Number(a.expiresAt) - Number(b.expiresAt); });
  if (!items.length) {
    const li = document.createElement("li");
    li.className = "noLinks";
    li.textContent = "No active links";
    list.replaceChildren(li);
    return;
  }
  list.replaceChildren(...items.map(shareListItem));
}

async function endShareLink(token, button) {
  button.disabled = true;
  try {
    await api("/api/unshare", postJson({ token: token }));
  } catch (e) {
    // Gone already, or ended elsewhere: the list shows what still works.
  }
  if (token === sharing.token) {
    $("shareMade").hidden = true;
    $("shareMsg").textContent = "This link has been ended.";
  }
  showShareList();
}

function openAddressDialog() {
  const link = location.origin + "/";
  $("addressLink").value = link;
  $("addressQr").src = qrUrl(link);
  $("addressText").textContent = onLoopback()
    ? "This is this computer's own address; other devices need the address shown in the program's window."
    : "Scan it with the other device's camera, then log in with the PIN.";
  $("addressDialog").showModal();
}

function wireShareDialog() {
  $("shareCreate").addEventListener("click", createShareLink);
  $("shareCopy").addEventListener("click", function () { copyInto($("shareCopy"), $("shareLink")); });
  $("shareClose").addEventListener("click", function () { $("shareDialog").close(); });
  $("addressCopy").addEventListener("click", function () { copyInto($("addressCopy"), $("addressLink")); });
  $("addressClose").addEventListener("click", function () { $("addressDialog").close(); });
}
