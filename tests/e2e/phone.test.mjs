// The three pages of both programs on a phone-sized touch screen (390 x 844):
// no sideways scrolling, buttons big enough for a finger, no drop box, and
// the main actions done by tapping.
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, PHONE, assertClean, launchBrowser, newContext, openPage, rowOf, screenshot, startProgram, waitUntil,
} from "./harness.mjs";

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const LONG = "a-very-long-file-name-without-any-blank-that-would-push-the-table-wider-than-a-phone-0123456789.txt";
const MARKUP = "<img src=x onerror=alert(1)>.txt";

async function assertNoSidewaysScroll(page) {
  const sizes = await page.evaluate(() => ({
    page: document.documentElement.scrollWidth,
    body: document.body.scrollWidth,
    view: window.innerWidth,
  }));
  assert.ok(sizes.page <= sizes.view && sizes.body <= sizes.view, `the page scrolls sideways: ${JSON.stringify(sizes)}`);
}

// Every visible button is at least 40 px each way.
async function assertTappable(page) {
  const small = await page.evaluate(() => Array.from(document.querySelectorAll("button")).map((b) => {
    const r = b.getBoundingClientRect();
    return { label: b.title || b.textContent.trim(), w: r.width, h: r.height };
  }).filter((b) => (b.w > 0 || b.h > 0) && (b.w < 40 || b.h < 40)));
  assert.deepEqual(small, [], "buttons too small to tap");
}

for (const flavour of FLAVOURS) {
  const https = flavour === "vantrel-https";

  describe(`${flavour} on a phone`, () => {
    let program;
    let context;
    let page;
    const disk = (...parts) => path.join(program.files, ...parts);

    before(async () => {
      program = await startProgram(flavour);
      mkdirSync(disk("Photos"), { recursive: true });
      writeFileSync(disk("Photos", "beach.jpg"), "not really a photo");
      writeFileSync(disk("Photos", LONG), "long");
      writeFileSync(disk(LONG), "long");
      writeFileSync(disk(MARKUP), "markup");
      writeFileSync(disk("notes.txt"), "notes");
      context = await newContext(browser, program, PHONE);
      page = await openPage(context, program.origin + "/");
    });
    after(async () => {
      await context?.close();
      await program?.stop();
    });

    test("the login page fits and logs in by tapping", async () => {
      await screenshot(page, `${flavour}-login-phone.png`);
      await assertNoSidewaysScroll(page);
      await assertTappable(page);
      await page.locator("#code").tap();
      await page.fill("#code", program.pin);
      await page.getByRole("button", { name: "Login" }).tap();
      await page.waitForFunction(() => document.title === "Vantrel PRO - File Manager");
      assertClean(page);
    });

    test("the file manager fits, hides the drop box and works by tapping", async () => {
      await rowOf(page, MARKUP).waitFor();
      assert.equal(await page.locator(".ddbox").isVisible(), false, "the drop box shows on a phone");
      await screenshot(page, `${flavour}-file-manager-phone.png`);
      await assertNoSidewaysScroll(page);
      await assertTappable(page);

      await page.getByRole("link", { name: "Photos", exact: true }).tap();
      await rowOf(page, "beach.jpg").waitFor();
      await assertNoSidewaysScroll(page);
      const [download] = await Promise.all([
        page.waitForEvent("download"),
        rowOf(page, "beach.jpg").getByTitle("Download this file").tap(),
      ]);
      assert.equal(readFileSync(await download.path()).toString(), "not really a photo");
      await page.getByRole("link", { name: "..", exact: true }).tap();
      await rowOf(page, "notes.txt").waitFor();

      writeFileSync(path.join(program.home, "from phone.txt"), "tapped up");
      await page.setInputFiles("#files", path.join(program.home, "from phone.txt"));
      assert.equal(await page.locator("#fileLabel").textContent(), "from phone.txt");
      await page.getByRole("button", { name: "Upload", exact: true }).tap();
      await rowOf(page, "from phone.txt").waitFor();
      assert.equal(readFileSync(disk("from phone.txt")).toString(), "tapped up");
      assertClean(page);
    });

    test("the shared folder page fits and works by tapping", async () => {
      const answer = await (await page.request.get(program.origin + "/api/share?path=Photos")).json();
      assert.equal(answer.ok, true, JSON.stringify(answer));
      const stranger = await newContext(browser, program, PHONE);
      const shared = await openPage(stranger, program.origin + answer.path);
      await rowOf(shared, LONG).waitFor();
      if (https) assert.equal(await shared.locator("#dropzone").isVisible(), false, "the drop area shows on a phone");
      await screenshot(shared, `${flavour}-shared-folder-phone.png`);
      await assertNoSidewaysScroll(shared);
      await assertTappable(shared);

      const [download] = await Promise.all([
        shared.waitForEvent("download"),
        rowOf(shared, "beach.jpg").getByTitle("Download").tap(),
      ]);
      assert.equal(readFileSync(await download.path()).toString(), "not really a photo");
      if (https) {
        await rowOf(shared, LONG).locator("input.rowSel").tap();
        assert.equal(await shared.locator("#selInfo").textContent(), "1 selected");
      }
      await rowOf(shared, LONG).getByTitle("Delete").tap();
      await waitUntil("the long name gone", async () => (await rowOf(shared, LONG).count()) === 0);
      assert.equal(existsSync(disk("Photos", LONG)), false);
      assertClean(shared);
      await stranger.close();
    });
  });
}
