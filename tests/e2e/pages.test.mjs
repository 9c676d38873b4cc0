// Static checks of the six page files: the inline scripts compile, ids are
// unique, every id the script looks up exists, and the fixed texts the
// browser tests do not reach are spelled as the pages must show them.
import assert from "node:assert/strict";
import { test } from "node:test";
import vm from "node:vm";
import { pageBytes } from "./harness.mjs";

const MODAL = ["xferModal", "xferTitle", "xferBar", "xferText", "xferDetail", "xferCloseBtn"];
const MANAGER = ["proto", "files", "pickBtn", "fileLabel", "dropzone", "path", "selAll", "rows", "mkdirName",
  "upbar", "uptext", "ddbar", "ddtext", "dlbar", "dltext", "folderBtn", "folderPick"];
// The progress view and the question before replacing, on every page that uploads.
const UPLOADS = ["upPanel", "upList", "upCancelAll", "upUnfinished", "conflictModal"];
const UPLOAD_TEXTS = [">Cancel all<", ">Replace<", ">Keep both<", ">Skip<", "pick the same files to continue them."];
const MANAGER_TEXTS = [
  'title="Upload multiple files from your hard drive to the web server"',
  'title="Drop files here to upload immediately"',
  'title="Download all selected files as a ZIP file"',
  'title="Download each selected file separately"',
  'title="Delete all selected files permanently"',
  'title="Create a new folder in this directory."',
  'placeholder="New folder name"',
  ">Upload - Explorer<", ">Upload - Drag &amp; Drop<", ">Download Files<", ">Choose files<", ">No files selected<",
  ">Drop files here<", ">Download ZIP<", ">Download all<", ">Create folder<", ">Choose folder<", "<title>Vantrel PRO - File Manager</title>",
  '"Delete this directory permanently"', '"Create a direct link for this folder"', '"Download this file"',
  '"Delete this file permanently"', '"Create a direct download link"', '"No URL returned"', '"Failed to create share link"',
];

const PAGES = {
  "https/login.html": { ids: ["code", "msg"], texts: ["<title>HTTPS Vantrel PRO - Login</title>", ">HTTPS Vantrel PRO<", ">Enter PIN<", '"Login failed"'] },
  "http/login.html": { ids: ["code", "msg"], texts: ["<title>HTTP Vantrel PRO - Login</title>", ">HTTP Vantrel PRO<", ">Enter PIN<", '"Login failed"'] },
  "https/file_manager.html": {
    ids: [...MANAGER, ...MODAL, ...UPLOADS],
    texts: [...MANAGER_TEXTS, ...UPLOAD_TEXTS, ">Transfer<", ">...<", ">Close<", '"Network error"', '"Download error."',
      '"Share this URL for a direct download without PIN registration (copied if possible):"',
      '"Share this URL for direct access (copied if possible):"'],
    absent: ["Clear selection"],
  },
  "http/file_manager.html": {
    ids: [...MANAGER, ...UPLOADS, "clearBtn"],
    texts: [...MANAGER_TEXTS, ...UPLOAD_TEXTS, 'title="Clear selection"', "#777777", "height: 160px",
      '"Preparing ZIP..."', '"Creating complete."', '"Download error."', '"Share URL (copied):"',
      "Share URL (copy manually \\u2013 HTTP blocks clipboard in many browsers):"],
    absent: ["xferModal"],
  },
  "https/shared_folder.html": {
    ids: [...MODAL, ...UPLOADS, "files", "pickBtn", "fileLabel", "dropzone", "upbar", "msg", "chkAll", "rows", "dlSelBtn", "delSelBtn", "selInfo"],
    texts: ["<title>Vantrel PRO - Shared Folder</title>", ">HTTPS Vantrel PRO - Shared Folder<",
      "This link is valid for 24 hours. Upload &amp; download allowed.", ">Choose files<", ">No files selected<", ">Upload<",
      'title="Drop files here to upload immediately"', "<b>Drag &amp; Drop upload</b>", "<small>Drop files here</small>",
      ">Download selected<", ">Delete selected<", ">0 selected<", "max-width: 760px", "opacity: .55", '"Delete failed"',
      '"Nothing to upload."', '"Delete finished with errors."', '"Downloads started."', ...UPLOAD_TEXTS],
  },
  "http/shared_folder.html": {
    ids: [...UPLOADS, "files", "pickBtn", "fileLabel", "upbar", "msg", "rows"],
    texts: ["<title>Vantrel PRO - Shared Folder</title>", ">HTTPS Vantrel PRO - Shared Folder<",
      "This link is valid for 24 hours. Upload &amp; download allowed.", ">Choose files<", ">Upload<", "max-width: 720px",
      "width: 140px", '"Upload done."', '"Delete failed"', ...UPLOAD_TEXTS],
    absent: ["chkAll", "dropzone", "xferModal"],
  },
};

for (const [file, want] of Object.entries(PAGES)) {
  test(`${file} is a sound page`, () => {
    const html = pageBytes(file).toString("utf8");
    assert.ok(html.startsWith("<!doctype html>\n<html lang=\"en\">"), "doctype and language first");
    assert.ok(html.includes('<meta charset="utf-8">'));
    assert.ok(html.includes('<meta name="viewport" content="width=device-width, initial-scale=1">'));
    assert.ok(html.includes('<link rel="icon" href="data:,">'), "no icon request that would meet the login gate");

    // The file pages start their listing from a small script in the head.
    const scripts = [...html.matchAll(/<script>([\s\S]*?)<\/script>/g)].map((m) => m[1]);
    assert.equal(scripts.length, file.endsWith("login.html") ? 1 : 2, "inline scripts");
    for (const script of scripts) {
      assert.doesNotThrow(() => new vm.Script(script, { filename: file }), "a script compiles");
      assert.ok(/^\s*"use strict";/.test(script));
    }
    const code = scripts.join("\n");

    const ids = [...html.matchAll(/\sid="([^"]+)"/g)].map((m) => m[1]);
    assert.deepEqual(ids.filter((id, i) => ids.indexOf(id) !== i), [], "duplicate ids");
    const used = [...code.matchAll(/(?:\$|getElementById)\("([^"]+)"\)/g)].map((m) => m[1]);
    assert.deepEqual([...new Set(used)].filter((id) => !ids.includes(id)), [], "the script looks up missing ids");
    assert.deepEqual(want.ids.filter((id) => !ids.includes(id)), [], "required ids missing");

    assert.deepEqual(want.texts.filter((t) => !html.includes(t)), [], "texts missing");
    assert.deepEqual((want.absent || []).filter((t) => html.includes(t)), [], "texts that belong to the other program");
    assert.equal(/innerHTML|insertAdjacentHTML|document\.write|eval\(/.test(code), false, "names must never become markup");
  });
}
