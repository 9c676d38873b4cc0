// Organising and sharing from the file manager, on a desktop (HTTPS) and a
// phone (HTTP): rename in place, move through the folder browser, search and
// open what it found, and a share link with a chosen lifetime, its QR code,
// and ending it before its time.
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  PHONE, assertClean, launchBrowser, login, newContext, openPage, rowOf, screenshot, startProgram, waitUntil,
} from "./harness.mjs";

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const RUNS = [
  { program: "vantrel-https", device: "desktop", options: { viewport: { width: 1280, height: 860 } } },
  { program: "vantrel-http", device: "phone", options: PHONE },
];

async function entryMenu(page, name, item) {
  await rowOf(page, name).getByTitle("More actions").click();
  await page.getByRole("menuitem", { name: item }).click();
}

for (const run of RUNS) {
  describe(`${run.program} on a ${run.device}`, () => {
    let program;
    let page;
    const disk = (...p) => path.join(program.files, ...p);

    before(async () => {
      program = await startProgram(run.program);
      mkdirSync(disk("Inbox"), { recursive: true });
      mkdirSync(disk("Archive", "old"), { recursive: true });
      writeFileSync(disk("Inbox", "IMG_4411.txt"), "the photo's notes\n");
      writeFileSync(disk("Inbox", "notes.txt"), "inbox notes\n");
      writeFileSync(disk("Archive", "notes.txt"), "archived notes\n");
      writeFileSync(disk("Archive", "old", "Été ΣΟΦΊΑ.txt"), "deep\n");
      const context = await newContext(browser, program, run.options);
      page = await openPage(context);
      await login(page, program);
      await rowOf(page, "Inbox").waitFor();
    });
    after(async () => { await program?.stop(); });

    test("rename in place, refused on a taken name, then moved with one name taken in the target", async () => {
      await page.getByRole("link", { name: "Inbox", exact: true }).click();
      await rowOf(page, "IMG_4411.txt").waitFor();

      await entryMenu(page, "notes.txt", "Rename");
      const box = page.getByLabel("New name for notes.txt");
      await box.fill("IMG_4411.txt");
      await box.press("Enter");
      await page.getByText("A file or folder with that name already exists").waitFor();
      await screenshot(page, `organise-rename-${run.program}-${run.device}.png`);
      await box.press("Escape");
      await rowOf(page, "notes.txt").waitFor();

      await entryMenu(page, "IMG_4411.txt", "Rename");
      await page.getByLabel("New name for IMG_4411.txt").fill("Lake at dusk.txt");
      await page.getByRole("button", { name: "Save" }).click();
      await rowOf(page, "Lake at dusk.txt").waitFor();
      assert.equal(readFileSync(disk("Inbox", "Lake at dusk.txt"), "utf8"), "the photo's notes\n");
      await program.waitFor(`RENAME  ${disk("Inbox", "IMG_4411.txt")} -> ${disk("Inbox", "Lake at dusk.txt")}`);

      await rowOf(page, "Lake at dusk.txt").locator("input.itemSel").check();
      await rowOf(page, "notes.txt").locator("input.itemSel").check();
      await page.getByRole("button", { name: "Move", exact: true }).click();
      const dialog = page.locator("#moveDialog");
      await dialog.getByText("Move 2 items").waitFor();
      await dialog.getByRole("button", { name: "..", exact: true }).click();
      await dialog.getByRole("button", { name: "Archive", exact: true }).click();
      await waitUntil("the target shown", async () => (await page.locator("#moveTarget").textContent()) === "/Archive");
      await dialog.getByRole("button", { name: "Move here" }).click();
      await dialog.getByText("These names are taken in /Archive and were not moved: notes.txt").waitFor();
      await dialog.getByRole("button", { name: "Cancel" }).click();
      await waitUntil("the moved file gone from the list", async () => (await rowOf(page, "Lake at dusk.txt").count()) === 0);
      assert.ok(existsSync(disk("Archive", "Lake at dusk.txt")));
      assert.equal(readFileSync(disk("Archive", "notes.txt"), "utf8"), "archived notes\n", "a taken name was overwritten");
      assert.equal(readFileSync(disk("Inbox", "notes.txt"), "utf8"), "inbox notes\n");
      assertClean(page);
    });

    test("a folder cannot be moved into itself; search finds a deep name and opens it", async () => {
      await page.getByRole("link", { name: "..", exact: true }).click();
      await rowOf(page, "Archive").waitFor();
      await entryMenu(page, "Archive", "Move");
      const dialog = page.locator("#moveDialog");
      assert.ok(await dialog.getByRole("button", { name: "Archive", exact: true }).isDisabled());
      await dialog.getByRole("button", { name: "Cancel" }).click();

      // Case folding beyond ASCII: the name holds "Été" and "ΣΟΦΊΑ".
      await page.getByLabel("Search names in this folder and below").fill("σοφία");
      await page.getByLabel("Search names in this folder and below").press("Enter");
      const hit = page.locator("#searchList").getByRole("link", { name: "Été ΣΟΦΊΑ.txt" });
      await hit.waitFor();
      assert.match(await page.locator("#searchInfo").textContent(), /^1 result for/);
      assert.equal(await page.locator("#searchList .where").textContent(), "/Archive/old · 5 B");
      await screenshot(page, `organise-search-${run.program}-${run.device}.png`);
      await hit.click();
      await waitUntil("the found file's folder", async () => (await page.locator("#path").textContent()) === "/Archive/old");
      await page.locator("#viewer:not(.viewerHidden)").waitFor();
      // Renamed from the view: the view follows the new name.
      await page.locator("#viewer").getByTitle("More actions").click();
      await page.getByRole("menuitem", { name: "Rename" }).click();
      const box = page.getByLabel("New name for Été ΣΟΦΊΑ.txt");
      await box.fill("Été ΣΟΦΊΑ 2.txt");
      await box.press("Enter");
      await waitUntil("the view showing the new name",
        async () => (await page.locator("#viewerName").textContent()) === "Été ΣΟΦΊΑ 2.txt");
      assert.ok(existsSync(disk("Archive", "old", "Été ΣΟΦΊΑ 2.txt")));
      await page.keyboard.press("Escape");
      await page.locator("#viewer.viewerHidden").waitFor({ state: "attached" });
      assert.ok(await page.locator("#searchPanel").isHidden());
      assertClean(page);
    });

    test("a share link for one hour, shown as QR code, works until it is ended", async () => {
      await entryMenu(page, "Été ΣΟΦΊΑ 2.txt", "Share with QR code");
      const dialog = page.locator("#shareDialog");
      await dialog.getByLabel("1 hour").check();
      await dialog.getByRole("button", { name: "Create link" }).click();
      await waitUntil("the QR code drawn", () => page.evaluate(() => document.getElementById("shareQr").naturalWidth > 0));
      const link = await page.locator("#shareLink").inputValue();
      assert.match(link, /\/s\/[0-9a-f]{64}$/);
      await screenshot(page, `organise-share-${run.program}-${run.device}.png`);

      const shares = await page.evaluate(async () => (await (await fetch("/api/shares")).json()).items);
      assert.equal(shares.length, 1);
      const left = shares[0].expiresAt - Date.now() / 1000;
      assert.ok(left > 3500 && left <= 3600, `the link lives ${left} s`);

      const stranger = await newContext(browser, program);
      const guestUrl = program.origin + new URL(link).pathname;
      assert.equal((await stranger.request.get(guestUrl)).status(), 200);
      await dialog.locator("#shareList").getByRole("button", { name: "End now" }).click();
      await dialog.getByText("No active links").waitFor();
      await dialog.getByText("This link has been ended.").waitFor();
      assert.equal((await stranger.request.get(guestUrl)).status(), 410);
      await stranger.close();
      await dialog.getByRole("button", { name: "Close" }).click();

      await page.getByRole("button", { name: "QR", exact: true }).click();
      await waitUntil("the address QR drawn", () => page.evaluate(() => document.getElementById("addressQr").naturalWidth > 0));
      assert.equal(await page.locator("#addressLink").inputValue(), program.origin + "/");
      await page.locator("#addressDialog").getByRole("button", { name: "Close" }).click();
      assertClean(page);
    });
  });
}
