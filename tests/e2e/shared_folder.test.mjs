// The shared folder page of both programs, opened from a folder link in a
// browser that holds no session: listing, selection, downloads, uploads and deletes.
import assert from "node:assert/strict";
import { randomBytes } from "node:crypto";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, assertClean, launchBrowser, login, newContext, openPage, rowOf, screenshot, startProgram, waitForDialog,
  waitUntil,
} from "./harness.mjs";

let browser;
const scratch = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-shared-"));
before(async () => { browser = await launchBrowser(); });
after(async () => {
  await browser?.close();
  rmSync(scratch, { recursive: true, force: true });
});

async function downloadBy(page, click) {
  const [download] = await Promise.all([page.waitForEvent("download", { timeout: 15000 }), click()]);
  return { name: download.suggestedFilename(), bytes: readFileSync(await download.path()) };
}

async function listedNames(page) {
  return (await page.locator("#rows td.name").allTextContents()).sort();
}

for (const flavour of FLAVOURS) {
  const https = flavour === "vantrel-https";

  describe(`${flavour} shared folder page`, () => {
    let program;
    let owner;
    let stranger;
    let page;
    let link;
    const shared = (...parts) => path.join(program.files, "drop box", ...parts);
    const markup = "<b onmouseover=alert(1)>bold.txt";

    before(async () => {
      program = await startProgram(flavour);
      mkdirSync(shared("sub"), { recursive: true });
      writeFileSync(shared("one.txt"), "first file\n");
      writeFileSync(shared("two.bin"), randomBytes(50000));
      writeFileSync(shared("it's.txt"), "apostrophe\n");
      writeFileSync(shared(markup), "markup\n");

      // The owner makes the link from the file manager.
      owner = await newContext(browser, program);
      const ownerPage = await openPage(owner);
      await login(ownerPage, program);
      await rowOf(ownerPage, "drop box").getByTitle("Create a direct link for this folder").click();
      link = (await waitForDialog(ownerPage, /^Share/)).value;
      assert.match(link, /\/d\/[0-9a-f]{64}$/);

      stranger = await newContext(browser, program);
      assert.deepEqual(await stranger.cookies(), []);
      page = await openPage(stranger, link);
    });
    after(async () => {
      await owner?.close();
      await stranger?.close();
      await program?.stop();
    });

    test("lists the files of the folder, never its subfolders, names as text", async () => {
      assert.equal(await page.title(), "Vantrel PRO - Shared Folder");
      assert.equal(await page.locator(".top").textContent(), "HTTPS Vantrel PRO - Shared Folder");
      await page.getByText("This link is valid for 24 hours. Upload & download allowed.", { exact: true }).waitFor();
      await waitUntil("the listing", async () => (await page.locator("#rows td.name").count()) === 4);
      assert.deepEqual(await listedNames(page), [markup, "it's.txt", "one.txt", "two.bin"].sort());
      assert.equal(await page.locator("#rows b").count(), 0);
      assert.equal(await page.locator("#dropzone").count(), https ? 1 : 0);
      assert.equal(await page.locator("#rows input[type=checkbox]").count(), https ? 4 : 0);
      await screenshot(page, `${flavour}-shared-folder-desktop.png`);
      assertClean(page);
    });

    test("downloads a file by its own button", async () => {
      for (const name of ["two.bin", "it's.txt", markup]) {
        const got = await downloadBy(page, () => rowOf(page, name).getByTitle("Download").click());
        assert.ok(got.bytes.equals(readFileSync(shared(name))), `${name}: downloaded bytes differ`);
      }
      assertClean(page);
    });

    test("uploads by the picker into the shared folder, bit for bit", async () => {
      const a = Buffer.concat([Buffer.from("\r\n--x\r\n"), randomBytes(120000)]);
      const b = randomBytes(3000);
      writeFileSync(path.join(scratch, `${flavour}-up a.bin`), a);
      writeFileSync(path.join(scratch, `${flavour}-up-b.bin`), b);
      await page.setInputFiles("#files", [path.join(scratch, `${flavour}-up a.bin`), path.join(scratch, `${flavour}-up-b.bin`)]);
      assert.match(await page.locator("#fileLabel").textContent(), /^2 files selected \(0\.1 MB\)$/);
      await page.locator("#uploadBtn").click();
      await rowOf(page, `${flavour}-up-b.bin`).waitFor();
      assert.ok(readFileSync(shared(`${flavour}-up a.bin`)).equals(a));
      assert.ok(readFileSync(shared(`${flavour}-up-b.bin`)).equals(b));
      await waitUntil("the upload's end", async () => (await page.locator("#upTitle").textContent()) === "Upload done." &&
        (https || (await page.locator("#msg").textContent()) === "Upload done."));
      assert.equal(await page.locator("#fileLabel").textContent(), "No files selected");
      assertClean(page);
    });

    test("deletes a file with an apostrophe by its own button", async () => {
      await rowOf(page, "it's.txt").getByTitle("Delete").click();
      assert.equal((await waitForDialog(page, /^Delete/)).message, "Delete file 'it's.txt'?");
      await waitUntil("it's.txt gone", async () => (await rowOf(page, "it's.txt").count()) === 0);
      assert.equal(existsSync(shared("it's.txt")), false);
      assertClean(page);
    });

    test("works the same under the address with a trailing slash", async () => {
      const other = await openPage(stranger, link + "/");
      await rowOf(other, "one.txt").waitFor();
      const calls = [];
      other.on("request", (r) => calls.push(new URL(r.url()).pathname));
      const got = await downloadBy(other, () => rowOf(other, "one.txt").getByTitle("Download").click());
      assert.equal(got.bytes.toString(), "first file\n");
      assert.ok(calls.includes(new URL(link).pathname + "/download"), `calls went to ${calls}`);
      assertClean(other);
      await other.close();
    });

    test("drops outside a drop area never leave the page", async () => {
      const url = page.url();
      const prevented = await page.evaluate(() => {
        const dt = new DataTransfer();
        dt.items.add(new File(["stray"], "stray.txt"));
        const out = [];
        for (const type of ["dragenter", "dragover", "drop"]) {
          const ev = new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: dt });
          document.querySelector("#rows").dispatchEvent(ev);
          out.push(ev.defaultPrevented);
        }
        return out;
      });
      assert.deepEqual(prevented, [true, true, true]);
      assert.equal(page.url(), url);
      assertClean(page);
    });

    if (https) {
      test("takes a drop on the drop area as an upload", async () => {
        const bytes = randomBytes(40000);
        await page.evaluate((b64) => {
          const bin = atob(b64);
          const arr = new Uint8Array(bin.length);
          for (let i = 0; i < bin.length; i++) arr[i] = bin.charCodeAt(i);
          const dt = new DataTransfer();
          dt.items.add(new File([arr], "dropped here.bin"));
          const dz = document.getElementById("dropzone");
          for (const type of ["dragenter", "dragover", "drop"]) {
            dz.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: dt }));
          }
        }, bytes.toString("base64"));
        await rowOf(page, "dropped here.bin").waitFor();
        assert.ok(readFileSync(shared("dropped here.bin")).equals(bytes));
        assertClean(page);
      });

      test("selects rows, downloads and deletes the selection", async () => {
        const all = page.locator("#chkAll");
        const count = await page.locator("#rows input.rowSel").count();
        assert.ok(count >= 3);
        assert.equal(await page.locator("#selInfo").textContent(), "0 selected");
        assert.ok(await page.locator("#dlSelBtn").isDisabled());
        assert.ok(await page.locator("#delSelBtn").isDisabled());

        await rowOf(page, "one.txt").locator("input.rowSel").check();
        assert.equal(await page.locator("#selInfo").textContent(), "1 selected");
        assert.ok(await all.evaluate((el) => el.indeterminate), "one of several checked: indeterminate");
        assert.equal(await all.isChecked(), false);
        await all.check();
        assert.equal(await page.locator("#selInfo").textContent(), `${count} selected`);
        assert.equal(await all.evaluate((el) => el.indeterminate), false);
        await all.uncheck();
        assert.equal(await page.locator("#selInfo").textContent(), "0 selected");

        await rowOf(page, "one.txt").locator("input.rowSel").check();
        await rowOf(page, markup).locator("input.rowSel").check();
        const seen = [];
        page.on("download", (d) => seen.push(d.suggestedFilename()));
        await page.locator("#dlSelBtn").click();
        await waitUntil("two downloads", () => seen.length === 2, 15000);
        await waitUntil("the download modal to close", async () => !(await page.locator("#xferModal").isVisible()));

        // Selection stays through a reload; a file deleted meanwhile leaves it.
        rmSync(shared(markup));
        await waitUntil("the removed file gone", async () => (await rowOf(page, markup).count()) === 0, 12000);
        assert.equal(await page.locator("#selInfo").textContent(), "1 selected");
        assert.ok(await rowOf(page, "one.txt").locator("input.rowSel").isChecked());

        await rowOf(page, "two.bin").locator("input.rowSel").check();
        await page.locator("#delSelBtn").click();
        assert.equal((await waitForDialog(page, /^Delete/)).message, "Delete 2 selected file(s)?");
        await waitUntil("the end of the delete", async () => (await page.locator("#xferText").textContent()) === "Delete done.");
        assert.equal(await page.locator("#xferDetail").textContent(), "2 file(s) deleted");
        assert.equal(existsSync(shared("one.txt")) || existsSync(shared("two.bin")), false);
        await waitUntil("rows gone", async () => (await rowOf(page, "one.txt").count()) === 0 && (await rowOf(page, "two.bin").count()) === 0);
        assert.equal(await page.locator("#selInfo").textContent(), "0 selected");
        assertClean(page);
      });
    }
  });
}
