// Uploads from the pages of both programs through a proxy that cuts and
// refuses connections like a phone's Wi-Fi: a cut-off upload continues by
// itself, one left behind by a reload continues when the file is picked
// again, a dropped folder tree arrives whole (hostile names refused one by
// one), the question before replacing does what each answer says, and the
// progress view works on a phone.
import assert from "node:assert/strict";
import { randomBytes } from "node:crypto";
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, utimesSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, PHONE, assertClean, launchBrowser, login, newContext, openPage, passThroughProxy, screenshot, startProgram,
  waitUntil,
} from "./harness.mjs";

const MiB = 1024 * 1024;
let browser;
const scratch = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-uploads-"));
before(async () => { browser = await launchBrowser(); });
after(async () => {
  await browser?.close();
  rmSync(scratch, { recursive: true, force: true });
});

function localFile(name, bytes, modified) {
  const p = path.join(scratch, name);
  writeFileSync(p, bytes);
  if (modified) utimesSync(p, modified, modified);
  return p;
}

// Every file and folder below root, as "/"-separated paths.
function tree(root, prefix = "") {
  return readdirSync(root, { withFileTypes: true }).flatMap((e) => {
    const rel = prefix + e.name;
    return e.isDirectory() ? [rel + "/", ...tree(path.join(root, e.name), rel + "/")] : [rel];
  }).sort();
}

const stateOf = (page, name) => page.locator("#upList li").filter({ has: page.getByText(name, { exact: true }) })
  .locator(".upState").textContent();

// The cuts show as failed loads in the browser's network log; anything else is a fault of the page.
function assertCleanButCuts(page) {
  page.problems = page.problems.filter((p) => !/^console: Failed to load resource: net::ERR_/.test(p));
  assertClean(page);
}

async function batchDone(page, title = "Upload done.", timeoutMs = 60000) {
  try {
    await waitUntil(`"${title}"`, async () => (await page.locator("#upTitle").textContent()) === title, timeoutMs);
  } catch (e) {
    throw new Error(`${e.message}; the view says: ${await page.locator("#upPanel").textContent()}; ${page.problems}`);
  }
}

for (const flavour of FLAVOURS) {
  describe(`${flavour} uploads`, () => {
    let program;
    let proxy;
    let front;  // the program as the browser reaches it, through the proxy
    let context;
    let page;
    const disk = (...parts) => path.join(program.files, ...parts);

    before(async () => {
      program = await startProgram(flavour);
      proxy = await passThroughProxy(program.port);
      front = { ...program, origin: proxy.origin(program.tls) };
      context = await newContext(browser, front);
      page = await openPage(context);
      await login(page, front);
    });
    after(async () => {
      await context?.close();
      await proxy?.close();
      await program?.stop();
    });

    test("a file cut off again and again continues by itself and arrives whole with its date", async () => {
      const bytes = randomBytes(24 * MiB);
      const taken = new Date("2021-05-01T10:00:00Z");
      proxy.cutAt = 4 * MiB;
      await page.setInputFiles("#files", localFile("video.mp4", bytes, taken));
      await page.getByRole("button", { name: "Upload", exact: true }).click();
      await batchDone(page);
      proxy.cutAt = Infinity;
      assert.ok(readFileSync(disk("video.mp4")).equals(bytes), "the stored file differs");
      assert.equal(statSync(disk("video.mp4")).mtimeMs, taken.getTime());
      assert.equal(await stateOf(page, "video.mp4"), "done");
      await program.waitFor("UPLOAD  " + disk("video.mp4"));
      assert.deepEqual(tree(program.files), ["video.mp4"], "no data in progress is left behind");
      assertCleanButCuts(page);
    });

    test("an upload left behind by a reload continues from where it stopped", async () => {
      const bytes = randomBytes(16 * MiB);
      const file = localFile("backup.zip", bytes);
      proxy.cutAt = 3 * MiB;
      await page.setInputFiles("#files", file);
      await page.getByRole("button", { name: "Upload", exact: true }).click();
      await waitUntil("a first cut", async () => (await stateOf(page, "backup.zip")).startsWith("retrying"));
      proxy.cutAt = Infinity;
      await page.goto(front.origin + "/");
      await waitUntil("the unfinished upload named", async () =>
        (await page.locator("#upUnfinishedText").textContent()) === "1 unfinished upload");
      const before = proxy.carried;
      await page.setInputFiles("#files", file);
      await page.getByRole("button", { name: "Upload", exact: true }).click();
      await batchDone(page);
      assert.ok(readFileSync(disk("backup.zip")).equals(bytes));
      assert.ok(proxy.carried - before < bytes.length - 2 * MiB, "the bytes that had arrived were sent again");
      assert.equal(await page.locator("#upUnfinished").isVisible(), false);
      assertCleanButCuts(page);
    });

    test("a dropped folder tree arrives whole; hostile names are refused one by one", async () => {
      mkdirSync(disk("Holiday"), { recursive: true });
      await page.getByRole("link", { name: "Holiday", exact: true }).click();
      await waitUntil("the folder opened", async () => (await page.locator("#path").textContent()) === "/Holiday");
      // A drag from the desktop cannot be made headless; the browser's entry
      // interface is stood in for with the same shape.
      await page.evaluate(() => {
        const file = (name, text) => ({ isFile: true, isDirectory: false, name,
          file: (ok) => ok(new File([text], name, { lastModified: 1600000000000 })) });
        const dir = (name, children) => ({ isFile: false, isDirectory: true, name, createReader: () => {
          let given = false;
          return { readEntries: (ok) => {
            const batch = given ? [] : children;
            given = true;
            setTimeout(() => ok(batch));
          } };
        } });
        const trip = dir("Trip", [
          dir("day1", [file("a.jpg", "photo a"), file("b.txt", "note b")]),
          dir("empty", []),
          dir("day2", [dir("deeper", [file("c.bin", "deep c")])]),
          file("bell\u0007.txt", "hostile"),
          dir("..", [file("escape.txt", "hostile")]),
        ]);
        const dt = new DataTransfer();
        dt.items.add(new File(["x"], "Trip"));
        DataTransferItem.prototype.webkitGetAsEntry = function () { return trip; };
        const zone = document.querySelector("#dropzone");
        for (const type of ["dragenter", "dragover", "drop"])
          zone.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: dt }));
      });
      await batchDone(page, "Upload finished with errors.");
      assert.deepEqual(tree(disk("Holiday")), ["Trip/", "Trip/day1/", "Trip/day1/a.jpg", "Trip/day1/b.txt", "Trip/day2/",
        "Trip/day2/deeper/", "Trip/day2/deeper/c.bin", "Trip/empty/"]);
      assert.equal(readFileSync(disk("Holiday", "Trip", "day2", "deeper", "c.bin"), "utf8"), "deep c");
      assert.deepEqual(tree(program.files).filter((p) => p.includes("escape")), [], "a name escaped the target");
      assert.equal(await stateOf(page, "Trip/bell\u0007.txt"), "failed: Invalid name");
      assert.equal(await stateOf(page, "Trip/../escape.txt"), "failed: Invalid path");
      // The folder picker names each file's place in its tree.
      const album = path.join(scratch, "Album");
      mkdirSync(path.join(album, "inner"), { recursive: true });
      writeFileSync(path.join(album, "one.jpg"), "one");
      writeFileSync(path.join(album, "inner", "two.jpg"), "two");
      await page.setInputFiles("#folderPick", album);
      await batchDone(page);
      assert.equal(readFileSync(disk("Holiday", "Album", "inner", "two.jpg"), "utf8"), "two");
      await page.getByRole("link", { name: "..", exact: true }).click();
      assertCleanButCuts(page);
    });

    test("the question before replacing does what each answer says", async () => {
      writeFileSync(disk("same.txt"), "old same");
      writeFileSync(disk("other.txt"), "old other");
      const pick = async (...files) => {
        await page.setInputFiles("#files", files.map(([name, text]) => localFile(name, text)));
        await page.getByRole("button", { name: "Upload", exact: true }).click();
      };
      const answer = async (text, all = false) => {
        const modal = page.locator("#conflictModal");
        await modal.waitFor({ state: "visible" });
        if (all) await page.locator("#conflictAll").check();
        await modal.getByRole("button", { name: text, exact: true }).click();
      };
      await pick(["same.txt", "new same"], ["other.txt", "new other"]);
      await page.locator("#conflictModal").waitFor({ state: "visible" });
      assert.equal(await page.locator("#conflictAllText").textContent(), "Do this for all 2 conflicts");
      await answer("Keep both");
      await answer("Replace");
      await batchDone(page);
      assert.equal(readFileSync(disk("same.txt"), "utf8"), "old same");
      assert.equal(readFileSync(disk("same (1).txt"), "utf8"), "new same");
      assert.equal(readFileSync(disk("other.txt"), "utf8"), "new other");
      assert.equal(await stateOf(page, "same.txt"), "done as \u201csame (1).txt\u201d");

      await pick(["same.txt", "newer"], ["other.txt", "newer"]);
      await answer("Skip", true);
      await batchDone(page, "Nothing uploaded.");
      assert.equal(readFileSync(disk("same.txt"), "utf8"), "old same");
      assert.equal(readFileSync(disk("other.txt"), "utf8"), "new other");
      assertCleanButCuts(page);
    });

    test("the progress view works on a phone", async () => {
      const phone = await newContext(browser, front, PHONE);
      const small = await openPage(phone);
      await login(small, front);
      proxy.refusing = true;
      const files = ["p1.jpg", "p2.jpg", "p3.jpg"].map((n) => localFile(n, randomBytes(MiB)));
      await small.setInputFiles("#files", files);
      await small.getByRole("button", { name: "Upload", exact: true }).tap();
      await waitUntil("a retry", async () => (await stateOf(small, "p1.jpg")).startsWith("retrying"));
      const view = await small.evaluate(() => {
        const r = document.querySelector("#upPanel").getBoundingClientRect();
        const buttons = Array.from(document.querySelectorAll("#upPanel button")).filter((b) => b.offsetParent)
          .map((b) => b.getBoundingClientRect()).map((b) => Math.min(b.width, b.height));
        return { left: r.left, right: r.right, bottom: r.bottom, width: innerWidth, height: innerHeight,
          smallest: Math.min(...buttons), sideways: document.documentElement.scrollWidth > innerWidth };
      });
      assert.ok(view.left >= 0 && view.right <= view.width && view.bottom <= view.height, JSON.stringify(view));
      assert.ok(view.smallest >= 40 && !view.sideways, JSON.stringify(view));
      await screenshot(small, `${flavour}-uploads-phone.png`);
      proxy.refusing = false;
      await small.getByRole("button", { name: "Cancel all", exact: true }).tap();
      await batchDone(small, "Nothing uploaded.");
      assert.deepEqual(["p1.jpg", "p2.jpg", "p3.jpg"].filter((n) => tree(program.files).includes(n)), []);
      assert.equal(await stateOf(small, "p1.jpg"), "cancelled");
      await phone.close();
    });
  });
}
