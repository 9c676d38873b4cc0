// The file manager of both programs, logged in, against the real server:
// browsing, uploads, downloads, ZIP, folder and delete operations, share
// links, the kept selection, hostile names and the way back to the login page.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { randomBytes } from "node:crypto";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, truncateSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, assertClean, launchBrowser, login, newContext, openPage, rowOf, screenshot, startProgram, waitForDialog,
  waitUntil,
} from "./harness.mjs";

let browser;
const scratch = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-files-"));
before(async () => { browser = await launchBrowser(); });
after(async () => {
  await browser?.close();
  rmSync(scratch, { recursive: true, force: true });
});

// Bytes that a multipart parser can trip over: CR LF, dashes, a fake boundary.
function awkwardBytes(size) {
  const noise = randomBytes(size);
  const trap = Buffer.from("\r\n--\r\n------WebKitFormBoundary\r\n--\r\n\r\n");
  return Buffer.concat([trap, noise, trap, noise.subarray(0, 1000), trap]);
}

// Hands files to the page's drop handling the way a drag from the desktop does.
async function dropFiles(page, selector, files) {
  const payload = files.map((f) => ({ name: f.name, b64: f.bytes.toString("base64") }));
  return page.evaluate(({ selector, payload }) => {
    const dt = new DataTransfer();
    for (const f of payload) {
      const bin = atob(f.b64);
      const bytes = new Uint8Array(bin.length);
      for (let i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
      dt.items.add(new File([bytes], f.name));
    }
    const target = document.querySelector(selector);
    const results = [];
    for (const type of ["dragenter", "dragover", "drop"]) {
      const ev = new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: dt });
      target.dispatchEvent(ev);
      results.push(ev.defaultPrevented);
    }
    return results;
  }, { selector, payload });
}

async function downloadBy(page, click) {
  const [download] = await Promise.all([page.waitForEvent("download", { timeout: 15000 }), click()]);
  return { name: download.suggestedFilename(), bytes: readFileSync(await download.path()) };
}

for (const flavour of FLAVOURS) {
  const https = flavour === "vantrel-https";

  describe(`${flavour} file manager`, () => {
    let program;
    let context;
    let page;
    const disk = (...parts) => path.join(program.files, ...parts);

    // The text a transfer ends with: the modal's line, or the box's own line.
    const transferText = (inline) => page.locator(https ? "#xferText" : inline).textContent();
    // An upload batch ends in the progress view and, without the modal, in its box's line too.
    const uploadDone = (inline) => waitUntil("the upload's end", async () =>
      (await page.locator("#upTitle").textContent()) === "Upload done." &&
      (https || (await page.locator(inline).textContent()) === "Upload done."));

    before(async () => {
      program = await startProgram(flavour);
      mkdirSync(disk("docs"), { recursive: true });
      writeFileSync(disk("docs", "inner.txt"), "inside docs\n");
      writeFileSync(disk("readme.txt"), "hello from the web root\n");
      context = await newContext(browser, program);
      page = await openPage(context);
      await login(page, program);
    });
    after(async () => {
      await context?.close();
      await program?.stop();
    });

    test("browses into a folder and back", async () => {
      assert.equal(await page.locator("#proto").textContent(), https ? "HTTPS" : "HTTP");
      await rowOf(page, "docs").waitFor();
      assert.equal(await page.locator("#path").textContent(), "/");
      assert.equal(await page.getByRole("link", { name: "..", exact: true }).count(), 0, "no '..' row in the web root");
      await screenshot(page, `${flavour}-file-manager-desktop.png`);

      await page.getByRole("link", { name: "docs", exact: true }).click();
      await rowOf(page, "inner.txt").waitFor();
      assert.equal(await page.locator("#path").textContent(), "/docs");
      await page.getByRole("link", { name: "..", exact: true }).click();
      await rowOf(page, "readme.txt").waitFor();
      assert.equal(await page.locator("#path").textContent(), "/");
      assertClean(page);
    });

    test("uploads two files by the picker and one by a drop, bit for bit", async () => {
      const one = awkwardBytes(300000);
      const two = awkwardBytes(5000);
      const dropped = awkwardBytes(70000);
      writeFileSync(path.join(scratch, `${flavour} one ü日本.bin`), one);
      writeFileSync(path.join(scratch, `${flavour}-two.txt`), two);

      await page.setInputFiles("#files", [path.join(scratch, `${flavour} one ü日本.bin`), path.join(scratch, `${flavour}-two.txt`)]);
      assert.equal(await page.locator("#fileLabel").textContent(), `2 files selected (${((one.length + two.length) / 1048576).toFixed(1)} MB)`);
      await page.getByTitle("Upload multiple files from your hard drive to the web server").click();
      await rowOf(page, `${flavour}-two.txt`).waitFor();
      await uploadDone("#uptext");
      assert.ok(readFileSync(disk(`${flavour} one ü日本.bin`)).equals(one), "first picked file differs on disk");
      assert.ok(readFileSync(disk(`${flavour}-two.txt`)).equals(two), "second picked file differs on disk");
      assert.equal(await page.locator("#fileLabel").textContent(), "No files selected");

      const prevented = await dropFiles(page, "#dropzone", [{ name: "dropped.bin", bytes: dropped }]);
      assert.deepEqual(prevented, [false, true, true], "the drop area takes the drag over itself");
      await rowOf(page, "dropped.bin").waitFor();
      await waitUntil("the dropped file on disk", () => existsSync(disk("dropped.bin")) && readFileSync(disk("dropped.bin")).equals(dropped));
      await uploadDone("#ddtext");
      assertClean(page);
    });

    test("files dropped beside the drop area never leave the page", async () => {
      const url = page.url();
      for (const target of ["#rows", "body", "#mkdirName"]) {
        const prevented = await dropFiles(page, target, [{ name: "stray.txt", bytes: Buffer.from("stray") }]);
        assert.deepEqual(prevented, [true, true, true], `a drop on ${target} must be caught`);
      }
      await page.waitForTimeout(300);
      assert.equal(page.url(), url);
      assert.equal(existsSync(disk("stray.txt")), false);
      assertClean(page);
    });

    test("downloads one file, all selected files, and a ZIP of two", async () => {
      const one = readFileSync(disk(`${flavour} one ü日本.bin`));
      const single = await downloadBy(page, () => rowOf(page, `${flavour} one ü日本.bin`).getByTitle("Download this file").click());
      assert.equal(single.name, `${flavour} one ü日本.bin`);
      assert.ok(single.bytes.equals(one), "downloaded bytes differ");

      // Debian's unzip reads names of archives made on a FAT host as code page 437,
      // so the archive holds plain ASCII names here.
      const two = readFileSync(disk(`${flavour}-two.txt`));
      await rowOf(page, `${flavour}-two.txt`).locator("input.itemSel").check();
      await rowOf(page, "readme.txt").locator("input.itemSel").check();

      const zip = await downloadBy(page, () => page.getByRole("button", { name: "Download ZIP" }).click());
      assert.equal(zip.name, "download.zip");
      const zipPath = path.join(scratch, `${flavour}.zip`);
      writeFileSync(zipPath, zip.bytes);
      execFileSync("unzip", ["-tq", zipPath]);
      const names = execFileSync("unzip", ["-Z1", zipPath], { encoding: "utf8" }).trim().split("\n").sort();
      assert.deepEqual(names, [`${flavour}-two.txt`, "readme.txt"].sort());
      assert.ok(execFileSync("unzip", ["-p", zipPath, `${flavour}-two.txt`]).equals(two), "archived file differs");
      if (https) await page.locator("#xferModal.modalHidden").waitFor({ state: "attached" });
      else await waitUntil("the ZIP line", async () => (await page.locator("#dltext").textContent()) === "Creating complete.");

      const seen = [];
      page.on("download", (d) => seen.push(d.suggestedFilename()));
      await page.getByRole("button", { name: "Download all" }).click();
      await waitUntil("two separate downloads", () => seen.length === 2, 15000);
      assert.deepEqual(seen.sort(), [`${flavour}-two.txt`, "readme.txt"].sort());
      if (https) await waitUntil("the end of 'Download all'", async () => (await page.locator("#xferText").textContent()) === "Downloads triggered.", 10000);
      else await waitUntil("the end of 'Download all'", async () => (await page.locator("#dltext").textContent()) === "2 downloads triggered.", 10000);
      assertClean(page);
    });

    test("a ZIP the server refuses keeps its message in view", async () => {
      const fd = disk("huge.bin");
      writeFileSync(fd, "");
      truncateSync(fd, 5 * 1024 * 1024 * 1024);
      await rowOf(page, "huge.bin").waitFor({ timeout: 10000 });
      await page.locator("#selAll").uncheck();
      await rowOf(page, "huge.bin").locator("input.itemSel").check();
      await page.getByRole("button", { name: "Download ZIP" }).click();
      const message = "A selected file is larger than the ZIP limit (4 GB).";
      if (https) {
        await waitUntil("the ZIP error", async () => (await page.locator("#xferDetail").textContent()) === message);
        assert.equal(await page.locator("#xferText").textContent(), "Error");
        await page.waitForTimeout(1500);
        assert.ok(await page.locator("#xferModal").isVisible(), "the modal stays open on an error");
        await page.locator("#xferCloseBtn").click();
        assert.equal(await page.locator("#xferModal").isVisible(), false);
      } else {
        await waitUntil("the ZIP error", async () => (await page.locator("#dltext").textContent()) === message);
      }
      rmSync(fd);
      await waitUntil("huge.bin gone", async () => (await rowOf(page, "huge.bin").count()) === 0, 10000);
      assertClean(page);
    });

    test("creates and removes a folder", async () => {
      await page.fill("#mkdirName", "  new folder  ");
      await page.getByRole("button", { name: "Create folder" }).click();
      await rowOf(page, "new folder").waitFor();
      assert.ok(existsSync(disk("new folder")), "folder missing on disk");
      assert.equal(await page.locator("#mkdirName").inputValue(), "");

      await rowOf(page, "new folder").getByTitle("Delete this directory permanently").click();
      assert.equal((await waitForDialog(page, /^Delete folder/)).message, "Delete folder 'new folder'? (must be empty)");
      await waitUntil("the folder gone", async () => (await rowOf(page, "new folder").count()) === 0);
      assert.equal(existsSync(disk("new folder")), false);
      assertClean(page);
    });

    test("deletes the selected files and nothing else", async () => {
      for (const n of ["a.txt", "b.txt", "c.txt"]) writeFileSync(disk(n), n);
      await rowOf(page, "c.txt").waitFor({ timeout: 10000 });
      await page.locator("#selAll").check();
      await page.locator("#selAll").uncheck();
      await page.getByTitle("Delete all selected files permanently").click();
      assert.equal((await waitForDialog(page, /No files/)).message, "No files selected.");

      await rowOf(page, "a.txt").locator("input.itemSel").check();
      await rowOf(page, "b.txt").locator("input.itemSel").check();
      await page.getByTitle("Delete all selected files permanently").click();
      assert.equal((await waitForDialog(page, /^Delete 2/)).message, "Delete 2 file(s)?");
      await waitUntil("a.txt and b.txt gone", async () => (await rowOf(page, "a.txt").count()) === 0 && (await rowOf(page, "b.txt").count()) === 0);
      assert.equal(existsSync(disk("a.txt")) || existsSync(disk("b.txt")), false);
      assert.ok(existsSync(disk("c.txt")));
      assertClean(page);
    });

    test("keeps the selection across the five-second reload", async () => {
      await rowOf(page, "c.txt").locator("input.itemSel").check();
      writeFileSync(disk("late.txt"), "arrived later");
      await rowOf(page, "late.txt").waitFor({ timeout: 12000 });
      assert.ok(await rowOf(page, "c.txt").locator("input.itemSel").isChecked(), "c.txt lost its check mark");
      assert.equal(await rowOf(page, "late.txt").locator("input.itemSel").isChecked(), false);
      assert.equal(await page.locator("#selAll").isChecked(), false);
      // The next reload of the unchanged folder is answered 304, without a
      // body, and the page keeps its rows and the check mark.
      const reload = await page.waitForResponse((r) => r.url().includes("/api/list?"), { timeout: 12000 });
      assert.equal(reload.status(), 304);
      assert.ok(await rowOf(page, "c.txt").locator("input.itemSel").isChecked(), "c.txt lost its check mark on 304");
      assert.ok(await rowOf(page, "late.txt").isVisible());
      await rowOf(page, "c.txt").locator("input.itemSel").uncheck();
      assertClean(page);
    });

    test("a file named like markup is shown as text and handled by its own buttons", async () => {
      const name = "<img src=x onerror=alert(1)>.txt";
      const content = Buffer.from("not markup\n");
      writeFileSync(disk(name), content);
      const row = rowOf(page, name);
      await row.waitFor({ timeout: 12000 });
      assert.equal(await row.locator("td.name").textContent(), name);
      assert.equal(await page.locator("#rows img").count(), 0);

      const got = await downloadBy(page, () => row.getByTitle("Download this file").click());
      assert.ok(got.bytes.equals(content));

      await row.getByTitle("Create a direct download link").click();
      const shared = await waitForDialog(page, /^Share/);
      assert.equal(shared.type, "prompt");
      assert.equal(shared.message, https
        ? "Share this URL for a direct download without PIN registration (copied if possible):"
        : "Share URL (copied):");
      assert.match(shared.value, new RegExp(`^${program.origin.replace(/[.]/g, "\\.")}/s/[0-9a-f]{64}$`));
      assert.equal(await page.evaluate(() => navigator.clipboard.readText()), shared.value, "the link is on the clipboard");

      // The file link works in a browser that holds no session.
      const stranger = await newContext(browser, program);
      const strangerPage = await openPage(stranger);
      const [download] = await Promise.all([
        strangerPage.waitForEvent("download"),
        strangerPage.goto(shared.value).catch(() => {}),
      ]);
      assert.ok(readFileSync(await download.path()).equals(content), "the file link delivers other bytes");
      await stranger.close();

      await row.getByTitle("Delete this file permanently").click();
      assert.equal((await waitForDialog(page, /^Delete file/)).message, `Delete file '${name}'?`);
      await waitUntil("the file gone", async () => (await row.count()) === 0);
      assert.equal(existsSync(disk(name)), false);
      assert.equal(page.dialogs.filter((d) => d.type === "alert").length, 0, "no script from the name ran");
      assertClean(page);
    });

    test("a folder with an apostrophe opens, shares and goes", async () => {
      mkdirSync(disk("it's"));
      writeFileSync(disk("it's", "it's.txt"), "apostrophe");
      await rowOf(page, "it's").waitFor({ timeout: 12000 });
      await page.getByRole("link", { name: "it's", exact: true }).click();
      await rowOf(page, "it's.txt").waitFor();
      assert.equal(await page.locator("#path").textContent(), "/it's");
      const got = await downloadBy(page, () => rowOf(page, "it's.txt").getByTitle("Download this file").click());
      assert.equal(got.bytes.toString(), "apostrophe");
      await page.getByRole("link", { name: "..", exact: true }).click();
      await rowOf(page, "readme.txt").waitFor();

      await rowOf(page, "it's").getByTitle("Create a direct link for this folder").click();
      const shared = await waitForDialog(page, /^Share/);
      assert.equal(shared.message, https ? "Share this URL for direct access (copied if possible):" : "Share URL (copied):");
      assert.match(shared.value, /\/d\/[0-9a-f]{64}$/);

      // Not empty: the server refuses and the folder stays.
      await rowOf(page, "it's").getByTitle("Delete this directory permanently").click();
      assert.equal((await waitForDialog(page, /^Delete folder/)).message, "Delete folder 'it's'? (must be empty)");
      await page.waitForTimeout(500);
      assert.ok(existsSync(disk("it's")));
      rmSync(disk("it's", "it's.txt"));
      await rowOf(page, "it's").getByTitle("Delete this directory permanently").click();
      await waitForDialog(page, /^Delete folder/);
      await waitUntil("the folder gone", async () => (await rowOf(page, "it's").count()) === 0);
      assert.equal(existsSync(disk("it's")), false);
      assertClean(page);
    });

    test("a large folder: select all while it is drawn, a reload keeps rows, ticks and scroll, sort, delete", async () => {
      const count = 3000;
      const name = (i) => `f${String(i).padStart(4, "0")}.txt`;
      mkdirSync(disk("Big"));
      for (let i = 0; i < count; i++) writeFileSync(disk("Big", name(i)), "x".repeat(i % 7));
      await page.getByRole("link", { name: "Big", exact: true }).click();
      await rowOf(page, name(0)).waitFor();
      await page.locator("#selAll").check();
      await waitUntil("every row drawn", async () => (await page.locator("#rows input.itemSel").count()) === count);
      assert.equal(await page.locator("#rows input.itemSel:not(:checked)").count(), 0, "rows drawn later are not ticked");
      await page.locator("#selAll").uncheck();

      const far = name(count - 3);
      await rowOf(page, name(1)).locator("input.itemSel").check();
      await rowOf(page, far).locator("input.itemSel").check();
      await page.evaluate(() => { document.querySelector("#rows tr:nth-child(2)").keptMark = true; });
      assert.ok(await page.evaluate(() => window.scrollY) > 10000, "the far row is far down");
      // What must stay is the row under the reader's eyes. Rows not drawn yet
      // carry an estimated height, and the browser moves the scroll offset
      // itself to keep the view still while they are drawn.
      const farTop = () => page.evaluate((n) => new Promise((done) => requestAnimationFrame(() =>
        requestAnimationFrame(() => done([...document.querySelectorAll("#rows td.name")]
          .find((td) => td.textContent === n).getBoundingClientRect().top)))), far);
      let top = await farTop();
      await waitUntil("the rows settled", async () => top === (top = await farTop()));
      writeFileSync(disk("Big", "new.txt"), "new");
      await rowOf(page, "new.txt").waitFor({ timeout: 12000 });
      assert.equal(await farTop(), top, "the reload moved the page");
      assert.equal(await page.evaluate(() => document.querySelector("#rows tr:nth-child(2)").keptMark), true,
        "the reload made an unchanged row again");
      assert.equal(await page.locator("#rows input.itemSel:checked").count(), 2);

      await page.locator("th", { hasText: "Size" }).click();
      assert.equal(await page.locator("#rows tr:nth-child(3) td.name").textContent(), name(7), "not sorted by size");
      assert.equal(await rowOf(page, far).locator("input.itemSel").isChecked(), true, "sorting lost a tick");
      await page.locator("th", { hasText: "Name" }).click();
      await page.getByTitle("Delete all selected files permanently").click();
      await waitForDialog(page, /^Delete 2 file\(s\)\?$/);
      await waitUntil("the two files gone", async () => (await rowOf(page, far).count()) === 0);
      assert.equal(existsSync(disk("Big", far)) || existsSync(disk("Big", name(1))), false);
      assert.equal(existsSync(disk("Big", name(2))), true);
      await page.getByRole("link", { name: "..", exact: true }).click();
      await rowOf(page, "readme.txt").waitFor();
      rmSync(disk("Big"), { recursive: true, force: true });
      assertClean(page);
    });

    test("a lost session leads back to the login page", async () => {
      await context.clearCookies();
      await page.fill("#mkdirName", "never made");
      await page.getByRole("button", { name: "Create folder" }).click();
      await page.waitForFunction((t) => document.title === t, `${https ? "HTTPS" : "HTTP"} Vantrel PRO - Login`);
      assert.equal(existsSync(disk("never made")), false);
      assertClean(page);
    });
  });
}
