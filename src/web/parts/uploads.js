// Uploads go through the resumable protocol: a file is created on the server,
// then sent in pieces, each from the offset the server reports. A broken or
// stalled connection costs only the bytes in flight: the page asks where the
// server stands and goes on from there, by itself, after a growing pause or at
// once when the network or the page comes back. Unfinished uploads are kept in
// the browser's storage, so picking the same files after a reload continues them.
const UP_CHUNK = 32 * 1024 * 1024;
const UP_STALL_MS = 20000;  // no progress for this long: the connection is given up and resumed
const UP_PAUSES_MS = [1000, 2000, 4000, 8000, 15000, 30000];
const UP_STORE = "vantrel.unfinishedUploads";
const UP_STORE_MAX = 1000;
const UP_LIFETIME_MS = 24 * 3600 * 1000;

const upq = {
  opts: null,
  jobs: [],
  running: false,
  wake: null,  // ends the current retry pause early
  samples: [],  // [time, bytes sent] of the last seconds, for the speed
  drawTimer: null,
  closeTimer: null,
  // @if https
  wakeLock: null,
  // @end
};

function upSize(n) {
  const units = ["B", "KB", "MB", "GB", "TB"];
  let v = Number(n) || 0;
  let i = 0;
  while (v >= 1024 && i < units.length - 1) { v /= 1024; i++; }
  return i === 0 ? v + " B" : v.toFixed(1) + " " + units[i];
}

function upDuration(seconds) {
  const s = Math.max(0, Math.round(seconds));
  if (s < 60) return s + " s";
  if (s < 3600) return Math.floor(s / 60) + " min " + (s % 60) + " s";
  return Math.floor(s / 3600) + " h " + Math.floor(s % 3600 / 60) + " min";
}

function upB64(text) {
  const bytes = new TextEncoder().encode(text);
  let bin = "";
  for (let i = 0; i < bytes.length; i++) bin += String.fromCharCode(bytes[i]);
  return btoa(bin);
}

function upJoin(a, b) { return a && b ? a + "/" + b : (a || b); }

// ---- what the browser remembers of unfinished uploads ----

function upStored() {
  let list = [];
  try { list = JSON.parse(localStorage.getItem(UP_STORE) || "[]"); } catch (e) { list = []; }
  if (!Array.isArray(list)) list = [];
  const now = Date.now();
  return list.filter(function (r) { return r && typeof r.url === "string" && now - (r.at || 0) < UP_LIFETIME_MS; });
}

function upStore(list) {
  try { localStorage.setItem(UP_STORE, JSON.stringify(list.slice(-UP_STORE_MAX))); } catch (e) {
    // Private browsing or a full storage: uploads still run, they are only not remembered.
  }
}

// The same file: same name, size, modification time and place in its tree, through the same endpoint.
function upSameFile(r, job) {
  return r.endpoint === upq.opts.endpoint && r.name === job.file.name && r.size === job.file.size &&
    r.modified === job.file.lastModified && r.rel === job.rel;
}

function upRemember(job) {
  const list = upStored().filter(function (r) { return r.url !== job.url; });
  list.push({ endpoint: upq.opts.endpoint, path: job.path, rel: job.rel, name: job.file.name, size: job.file.size,
              modified: job.file.lastModified, url: job.url, offset: job.offset, at: Date.now() });
  upStore(list);
}

function upForget(url) { upStore(upStored().filter(function (r) { return r.url !== url; })); }

function upUnfinishedHere() {
  return upStored().filter(function (r) {
    return r.endpoint === upq.opts.endpoint && !upq.jobs.some(function (j) { return j.url === r.url && !j.final; });
  });
}

function showUnfinished() {
  const list = upUnfinishedHere();
  const box = $("upUnfinished");
  box.hidden = list.length === 0;
  $("upUnfinishedText").textContent = list.length === 1 ? "1 unfinished upload" : list.length + " unfinished uploads";
  const ul = $("upUnfinishedList");
  ul.replaceChildren();
  list.forEach(function (r) {
    const li = document.createElement("li");
    const pct = r.size > 0 ? Math.floor((r.offset || 0) / r.size * 100) : 0;
    li.textContent = upJoin(upJoin(r.path, r.rel), r.name) + " \u2013 " + pct + "% of " + upSize(r.size);
    ul.appendChild(li);
  });
}

async function forgetUnfinished() {
  const list = upUnfinishedHere();
  const gone = new Set(list.map(function (r) { return r.url; }));
  upStore(upStored().filter(function (r) { return !gone.has(r.url); }));
  showUnfinished();
  // The server's copies go too; one that fails expires by itself within a day.
  for (const r of list) {
    try { await upRequest("DELETE", r.url, {}, null, null); } catch (e) { /* expires by itself */ }
  }
}

// ---- requests ----

// One request of the protocol; resolves with the answer, rejects on a
// network error or a stall (retry: true). Progress arrives as bytes of the body sent.
function upRequest(method, url, headers, body, job, onProgress) {
  return new Promise(function (resolve, reject) {
    const xhr = new XMLHttpRequest();
    let stallTimer = null;
    const stalled = function () {
      xhr.abort();
      reject({ retry: true, reason: "Connection stalled" });
    };
    const watch = function () {
      clearTimeout(stallTimer);
      stallTimer = setTimeout(stalled, UP_STALL_MS);
    };
    xhr.open(method, url);
    xhr.setRequestHeader("Tus-Resumable", "1.0.0");
    Object.keys(headers).forEach(function (k) { xhr.setRequestHeader(k, headers[k]); });
    xhr.upload.onprogress = function (e) {
      watch();
      if (onProgress) onProgress(e.loaded);
    };
    xhr.onload = function () {
      clearTimeout(stallTimer);
      if (job) job.xhr = null;
      resolve(xhr);
    };
    xhr.onerror = function () {
      clearTimeout(stallTimer);
      if (job) job.xhr = null;
      reject({ retry: true, reason: "Network error" });
    };
    xhr.onabort = function () {
      clearTimeout(stallTimer);
      if (job) job.xhr = null;
      reject({ retry: true, reason: "Stopped" });
    };
    if (job) job.xhr = xhr;
    watch();
    xhr.send(body);
  });
}

function upError(xhr) {
  try {
    const data = JSON.parse(xhr.responseText);
    if (data && typeof data.error === "string" && data.error) return data.error;
  } catch (e) {
    // Not JSON: the status says it.
  }
  return "HTTP " + xhr.status;
}

// What an answer outside the expected ones means: a pause and another try,
// going back to the server's offset, or the end of this file.
function upRefusal(xhr) {
  if (xhr.status === 401) {
    upq.opts.onSessionGone();
    return { fatal: true, reason: "Not logged in" };
  }
  // 409: the server holds another offset, which it tells on asking.
  if (xhr.status === 409) return { retry: true, reason: upError(xhr), ask: true };
  if (xhr.status === 0 || xhr.status >= 500 || xhr.status === 408 || xhr.status === 423)
    return { retry: true, reason: upError(xhr) };
  return { fatal: true, reason: upError(xhr) };
}

async function upCreate(job) {
  const meta = ["filename " + upB64(job.file.name), "lastModified " + upB64(String(job.file.lastModified || 0))];
  if (job.path) meta.push("path " + upB64(job.path));
  if (job.rel) meta.push("relativePath " + upB64(job.rel));
  if (job.overwrite) meta.push("overwrite " + upB64("1"));
  const xhr = await upRequest("POST", upq.opts.endpoint,
    { "Upload-Length": String(job.file.size), "Upload-Metadata": meta.join(",") }, null, job);
  if (xhr.status !== 201) throw upRefusal(xhr);
  const location = xhr.getResponseHeader("Location") || "";
  job.url = new URL(location, window.location.href).pathname;
  job.offset = 0;
  upFinishedBy(job, xhr);
  if (!job.final) upRemember(job);
}

// Where the server stands; an upload it no longer knows starts over.
async function upAsk(job) {
  const xhr = await upRequest("HEAD", job.url, {}, null, job);
  if (xhr.status === 404) {
    upForget(job.url);
    job.url = null;
    return;
  }
  if (xhr.status !== 200) throw upRefusal(xhr);
  job.offset = Number(xhr.getResponseHeader("Upload-Offset")) || 0;
  upFinishedBy(job, xhr);
}

// The answer that names the stored file ends the upload.
function upFinishedBy(job, xhr) {
  const stored = xhr.getResponseHeader("Upload-File-Name");
  if (stored === null) return;
  let name = stored;
  try { name = decodeURIComponent(stored); } catch (e) { name = stored; }
  job.offset = job.file.size;
  job.storedName = name;
  upSettle(job, "done");
}

async function upSendPiece(job) {
  const end = Math.min(job.file.size, job.offset + UP_CHUNK);
  const start = job.offset;
  job.inFlight = 0;
  const xhr = await upRequest("PATCH", job.url,
    { "Content-Type": "application/offset+octet-stream", "Upload-Offset": String(start) },
    job.file.slice(start, end), job, function (sent) {
      job.inFlight = sent;
      job.attempt = 0;
      upNoteProgress();
    });
  job.inFlight = 0;
  if (xhr.status !== 204) throw upRefusal(xhr);
  job.offset = Number(xhr.getResponseHeader("Upload-Offset")) || end;
  job.attempt = 0;
  upFinishedBy(job, xhr);
  if (!job.final) upRemember(job);
}

function upPause(ms) {
  return new Promise(function (resolve) {
    const timer = setTimeout(done, ms);
    function done() {
      clearTimeout(timer);
      if (upq.wake === done) upq.wake = null;
      resolve();
    }
    upq.wake = done;
  });
}

function wakeRetries() { if (upq.wake) upq.wake(); }

async function upRun(job) {
  job.state = "sending";
  upDrawJob(job);
  let knowOffset = false;
  while (!job.final) {
    try {
      if (!job.url) {
        await upCreate(job);
        knowOffset = true;
        // Cancelled while it was being created: the new upload goes too.
        if (job.state === "cancelled" && job.url) upRequest("DELETE", job.url, {}, null, null).catch(function () {});
      } else if (!knowOffset) {
        await upAsk(job);
        knowOffset = !!job.url;
        continue;
      }
      if (job.final) break;
      await upSendPiece(job);
    } catch (e) {
      job.inFlight = 0;
      if (job.final) break;
      const err = e && (e.retry || e.fatal) ? e : { retry: true, reason: String(e && e.message || e) };
      if (err.fatal) {
        upSettle(job, "failed", err.reason);
        break;
      }
      // After any trouble, the server's offset is the truth.
      knowOffset = false;
      if (err.ask) continue;
      const pause = UP_PAUSES_MS[Math.min(job.attempt, UP_PAUSES_MS.length - 1)];
      job.attempt++;
      job.state = "retrying";
      job.reason = err.reason;
      upDrawJob(job);
      await upPause(pause);
      if (job.final) break;
      job.state = "sending";
      upDrawJob(job);
    }
  }
}

function upSettle(job, state, reason) {
  if (job.final) return;
  job.final = true;
  job.state = state;
  job.reason = reason || "";
  if (job.url && (state === "done" || state === "failed")) upForget(job.url);
  upDrawJob(job);
  upNoteProgress();
}

async function cancelUpload(job) {
  if (job.final) return;
  const url = job.url;
  upSettle(job, "cancelled");
  if (job.xhr) job.xhr.abort();
  wakeRetries();
  if (!url) return;
  upForget(url);
  try { await upRequest("DELETE", url, {}, null, null); } catch (e) { /* expires by itself */ }
}

function cancelAllUploads() { upq.jobs.slice().forEach(cancelUpload); }

// ---- the batch ----

// Names already in each target folder, for the question before the start.
async function upTakenNames(jobs) {
  const folders = {};
  for (const j of jobs) folders[upJoin(j.path, j.rel)] = null;
  for (const f of Object.keys(folders)) {
    try { folders[f] = await upq.opts.listNames(f); } catch (e) { folders[f] = new Set(); }
  }
  return folders;
}

function askConflict(name, remaining) {
  return new Promise(function (resolve) {
    $("conflictText").textContent = "\u201c" + name + "\u201d already exists in this folder.";
    $("conflictAllRow").hidden = remaining < 2;
    $("conflictAllText").textContent = "Do this for all " + remaining + " conflicts";
    $("conflictAll").checked = false;
    $("conflictModal").classList.remove("upModalHidden");
    const buttons = document.querySelectorAll("#conflictModal [data-answer]");
    const chosen = function (e) {
      buttons.forEach(function (b) { b.removeEventListener("click", chosen); });
      $("conflictModal").classList.add("upModalHidden");
      resolve({ answer: e.currentTarget.dataset.answer, all: $("conflictAll").checked });
    };
    buttons.forEach(function (b) { b.addEventListener("click", chosen); });
    buttons[0].focus();
  });
}

// Replace, keep both or skip, asked once per name (or once for all of them).
async function upResolveConflicts(jobs) {
  const taken = await upTakenNames(jobs);
  const clashing = jobs.filter(function (j) { return taken[upJoin(j.path, j.rel)].has(j.file.name); });
  let forAll = null;
  for (let i = 0; i < clashing.length; i++) {
    const j = clashing[i];
    let answer = forAll;
    if (!answer) {
      const got = await askConflict(upJoin(j.rel, j.file.name), clashing.length - i);
      answer = got.answer;
      if (got.all) forAll = answer;
    }
    if (answer === "replace") j.overwrite = true;
    if (answer === "skip") upSettle(j, "skipped");
  }
}

// entries: [{ file, rel }] (rel: the folders below the target, "/"-separated);
// folders: the folders of a dropped tree that hold no file, as such paths.
async function queueUploads(entries, folders) {
  if (!entries.length && !(folders && folders.length)) return;
  const path = upq.opts.targetPath();
  // A batch after one that has ended starts a view of its own.
  if (!upq.running && upq.jobs.every(function (j) { return j.final; })) {
    upq.jobs = [];
    $("upList").replaceChildren();
  }
  upShowPanel();
  for (const rel of folders || []) await upMakeFolders(path, rel);
  const stored = upStored();
  const fresh = [];
  const jobs = entries.map(function (e) {
    const job = { file: e.file, rel: e.rel || "", path: path, url: null, offset: 0, inFlight: 0, attempt: 0,
                  state: "waiting", reason: "", overwrite: false, final: false, xhr: null, storedName: "", row: null,
                  held: true };
    const known = stored.find(function (r) { return upSameFile(r, job); });
    if (known) {
      // Continued where it stopped, into the folder it was meant for.
      job.url = known.url;
      job.path = known.path;
      job.offset = known.offset || 0;
    } else {
      fresh.push(job);
    }
    return job;
  });
  jobs.forEach(function (j) { upq.jobs.push(j); upDrawJob(j); });
  upDrawTotals();
  showUnfinished();
  // Nothing of the batch starts before the question is answered.
  await upResolveConflicts(fresh);
  jobs.forEach(function (j) { j.held = false; });
  upNoteProgress();
  if (!upq.running) upDrain();
}

async function upMakeFolders(path, rel) {
  const job = { folder: rel, state: "sending", reason: "", final: false, row: null, file: null };
  upq.jobs.push(job);
  upDrawJob(job);
  const parts = rel.split("/").filter(function (p) { return p !== ""; });
  let parent = path;
  try {
    for (const name of parts) {
      await upq.opts.makeFolder(parent, name);
      parent = upJoin(parent, name);
    }
    upSettle(job, "done");
  } catch (e) {
    upSettle(job, "failed", (e && e.message) || "Failed to create folder");
  }
}

async function upDrain() {
  upq.running = true;
  upq.samples = [];
  upHoldScreen();
  for (;;) {
    const next = upq.jobs.find(function (j) { return j.file && !j.final && !j.held; });
    if (!next) break;
    await upRun(next);
  }
  upq.running = false;
  upReleaseScreen();
  upNoteProgress();
  showUnfinished();
  upq.opts.onBatchEnd();
  // A batch that went well gets out of the way; one with failures stays for its reasons.
  if (!upTotals().failed) {
    clearTimeout(upq.closeTimer);
    upq.closeTimer = setTimeout(closeUploads, 3000);
  }
}

// ---- the screen stays on while uploads run and the page is visible ----

// @if https
async function upHoldScreen() {
  if (!upq.running || upq.wakeLock || document.visibilityState !== "visible" || !navigator.wakeLock) return;
  try {
    upq.wakeLock = await navigator.wakeLock.request("screen");
    upq.wakeLock.addEventListener("release", function () { upq.wakeLock = null; });
  } catch (e) {
    upq.wakeLock = null;  // refused (battery saver): uploads run anyway
  }
}

function upReleaseScreen() {
  if (upq.wakeLock) upq.wakeLock.release().catch(function () {});
  upq.wakeLock = null;
}
// @else
function upHoldScreen() {}

function upReleaseScreen() {}
// @end

// ---- the progress view ----

function upTotals() {
  const t = { files: 0, done: 0, failed: 0, bytes: 0, sent: 0 };
  upq.jobs.forEach(function (j) {
    if (!j.file || j.state === "skipped" || j.state === "cancelled") return;
    t.files++;
    t.bytes += j.file.size;
    if (j.state === "done") { t.done++; t.sent += j.file.size; return; }
    if (j.state === "failed") { t.failed++; return; }
    t.sent += Math.min(j.file.size, j.offset + (j.inFlight || 0));
  });
  upq.jobs.forEach(function (j) { if (!j.file && j.state === "failed") t.failed++; });
  return t;
}

function upNoteProgress() {
  if (upq.drawTimer) return;
  upq.drawTimer = setTimeout(function () {
    upq.drawTimer = null;
    upDrawTotals();
  }, 200);
}

// A batch is busy from the moment it is queued, its question included.
function upBusy() { return upq.running || upq.jobs.some(function (j) { return !j.final; }); }

function upDrawTotals() {
  const busy = upBusy();
  const t = upTotals();
  const now = Date.now();
  upq.samples.push([now, t.sent]);
  while (upq.samples.length > 2 && now - upq.samples[0][0] > 8000) upq.samples.shift();
  const first = upq.samples[0];
  const speed = now > first[0] ? (t.sent - first[1]) / ((now - first[0]) / 1000) : 0;
  const pct = t.bytes > 0 ? Math.floor(t.sent / t.bytes * 100) : (busy ? 0 : 100);
  $("upBar").value = pct;
  $("upCount").textContent = t.done + " of " + t.files + " files done";
  let stats = upSize(t.sent) + " / " + upSize(t.bytes);
  if (busy && speed > 0) stats += " \u00b7 " + upSize(speed) + "/s \u00b7 " + upDuration((t.bytes - t.sent) / speed) + " left";
  $("upStats").textContent = stats;
  let title = "Uploading\u2026";
  if (!busy) title = t.failed ? "Upload finished with errors." : (t.files ? "Upload done." : "Nothing uploaded.");
  $("upTitle").textContent = title;
  $("upCancelAll").hidden = !busy;
  $("upClose").hidden = busy;
  if (upq.opts.onSummary) upq.opts.onSummary(pct, busy ? "Uploading: " + pct + "% (" + upSize(t.sent) + " / " + upSize(t.bytes) + ")" : title);
}

function upDrawJob(job) {
  if (!job.row) {
    const li = document.createElement("li");
    const name = document.createElement("span");
    name.className = "upName";
    const state = document.createElement("span");
    state.className = "upState";
    const bar = document.createElement("progress");
    bar.max = 100;
    li.append(name, state);
    if (job.file) {
      const x = document.createElement("button");
      x.type = "button";
      x.className = "upCancel";
      x.title = "Cancel this upload";
      x.setAttribute("aria-label", "Cancel " + job.file.name);
      x.textContent = "\u2716";
      x.addEventListener("click", function () { cancelUpload(job); });
      li.append(x, bar);
    }
    job.row = { li: li, name: name, state: state, bar: bar };
    name.textContent = job.file ? upJoin(job.rel, job.file.name) : job.folder + "/";
    $("upList").appendChild(li);
  }
  const r = job.row;
  r.li.dataset.state = job.state;
  let text = job.state;
  if (job.state === "failed" || job.state === "retrying") text += ": " + job.reason;
  if (job.state === "done" && job.storedName && job.storedName !== job.file.name) text += " as \u201c" + job.storedName + "\u201d";
  r.state.textContent = text;
  if (job.file) {
    r.bar.value = job.file.size > 0 ? Math.floor(Math.min(job.file.size, job.offset + (job.inFlight || 0)) / job.file.size * 100) : (job.state === "done" ? 100 : 0);
    const cancel = r.li.querySelector(".upCancel");
    if (cancel) cancel.hidden = job.final;
  }
}

function upShowPanel() {
  clearTimeout(upq.closeTimer);
  $("upPanel").classList.remove("upHidden");
}

function closeUploads() {
  if (upBusy()) return;
  upq.jobs = [];
  $("upList").replaceChildren();
  $("upPanel").classList.add("upHidden");
}

// ---- picking and dropping ----

function queueFiles(fileList) {
  return queueUploads(Array.from(fileList || []).map(function (f) { return { file: f, rel: "" }; }), []);
}

// A folder chosen with the folder picker: each file names its place in the tree.
function queuePickedFolder(fileList) {
  return queueUploads(Array.from(fileList || []).map(function (f) {
    const parts = (f.webkitRelativePath || f.name).split("/");
    parts.pop();
    return { file: f, rel: parts.join("/") };
  }), []);
}

function upReadAll(reader) {
  return new Promise(function (resolve, reject) {
    const all = [];
    const next = function () {
      reader.readEntries(function (batch) {
        if (!batch.length) { resolve(all); return; }
        all.push.apply(all, batch);
        next();
      }, reject);
    };
    next();
  });
}

// Walks a dropped tree: its files with their folders, and the folders that hold none.
async function upWalk(entry, rel, out) {
  if (entry.isFile) {
    const file = await new Promise(function (resolve, reject) { entry.file(resolve, reject); });
    out.entries.push({ file: file, rel: rel });
    return true;
  }
  const here = upJoin(rel, entry.name);
  const children = await upReadAll(entry.createReader());
  let holds = false;
  for (const child of children) holds = (await upWalk(child, here, out)) || holds;
  if (!holds) out.folders.push(here);
  return holds;
}

// A drop: plain files, or folders with their whole tree.
async function queueDrop(dataTransfer) {
  const items = Array.from(dataTransfer.items || []);
  // Entries must be taken while the drop event lasts.
  const entries = items.map(function (it) { return it.webkitGetAsEntry ? it.webkitGetAsEntry() : null; });
  if (!entries.some(function (e) { return e && e.isDirectory; })) return queueFiles(dataTransfer.files);
  const out = { entries: [], folders: [] };
  for (const e of entries) {
    if (!e) continue;
    try { await upWalk(e, "", out); } catch (err) { /* an unreadable entry is left out */ }
  }
  return queueUploads(out.entries, out.folders);
}

function wireUploads(opts) {
  upq.opts = opts;
  $("upCancelAll").addEventListener("click", cancelAllUploads);
  $("upClose").addEventListener("click", closeUploads);
  $("upUnfinishedShow").addEventListener("click", function () { $("upUnfinishedList").hidden = !$("upUnfinishedList").hidden; });
  $("upUnfinishedForget").addEventListener("click", forgetUnfinished);
  window.addEventListener("online", wakeRetries);
  document.addEventListener("visibilitychange", function () {
    if (document.visibilityState !== "visible") return;
    wakeRetries();
    upHoldScreen();
  });
  window.addEventListener("beforeunload", function (e) {
    if (!upq.running) return;
    e.preventDefault();
    e.returnValue = "";
  });
  showUnfinished();
}
