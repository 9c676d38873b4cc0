// The gallery, the date order and the paging view, on both programs, at
// desktop size and on a phone: a folder of real photos (made by libvips), a
// broken one and a file of another kind shows as a grid of thumbnails that
// load only as they come into view, a few at a time; the choice of grid and
// of order outlives a reload; the view pages by keys, buttons and swipes;
// and the shared-folder page does the same on a folder share.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, rmSync, utimesSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, PHONE, SCREENSHOTS, assertClean, launchBrowser, login, newContext, openPage, rowOf, screenshot, startProgram,
  waitForDialog, waitUntil,
} from "./harness.mjs";

let browser;
const scratch = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-gallery-"));
const made = {};  // photo name -> file in scratch

// A 600 x 400 gradient in its own colours, written by libvips as JPEG or PNG.
function photo(file, gains, offsets) {
  const v = (n) => path.join(scratch, `${path.basename(file)}.${n}.v`);
  execFileSync("vips", ["xyz", v("xy"), "600", "400"]);
  execFileSync("vips", ["extract_band", v("xy"), v("x"), "0"]);
  execFileSync("vips", ["extract_band", v("xy"), v("y"), "1"]);
  execFileSync("vips", ["bandjoin", `${v("x")} ${v("y")} ${v("x")}`, v("xyx")]);
  execFileSync("vips", ["linear", v("xyx"), v("lin"), gains, offsets]);
  execFileSync("vips", ["cast", v("lin"), file, "uchar"]);
  for (const n of ["xy", "x", "y", "xyx", "lin"]) rmSync(v(n));
  return file;
}

before(async () => {
  browser = await launchBrowser();
  made["c-forest.jpg"] = photo(path.join(scratch, "c-forest.jpg"), "0.1 0.4 0.1", "20 90 30");
  made["b-lake.png"] = photo(path.join(scratch, "b-lake.png"), "0.1 0.2 0.4", "30 60 120");
  made["a-sunrise.jpg"] = photo(path.join(scratch, "a-sunrise.jpg"), "0.4 0.2 0.05", "150 60 40");
});
after(async () => {
  await browser?.close();
  rmSync(scratch, { recursive: true, force: true });
});

// Oldest to newest: notes, broken, a-sunrise, b-lake, c-forest.
const DATES = { "notes.md": 2019, "broken.jpg": 2020, "a-sunrise.jpg": 2021, "b-lake.png": 2022, "c-forest.jpg": 2023 };
const NEWEST_FIRST = ["c-forest.jpg", "b-lake.png", "a-sunrise.jpg", "broken.jpg", "notes.md"];
const BY_NAME = ["a-sunrise.jpg", "b-lake.png", "broken.jpg", "c-forest.jpg", "notes.md"];
const VIEWABLE_NEWEST = ["c-forest.jpg", "b-lake.png", "a-sunrise.jpg", "broken.jpg"];

function fillPhotos(folder) {
  mkdirSync(path.join(folder, "Trip"), { recursive: true });
  for (const [name, file] of Object.entries(made)) copyFileSync(file, path.join(folder, name));
  writeFileSync(path.join(folder, "broken.jpg"), Buffer.concat([Buffer.from([0xff, 0xd8, 0xff, 0xe0]), Buffer.alloc(300, 7)]));
  writeFileSync(path.join(folder, "notes.md"), "# not a picture\n");
  for (const [name, year] of Object.entries(DATES)) {
    const t = new Date(Date.UTC(year, 5, 12, 18, 13, 22));
    utimesSync(path.join(folder, name), t, t);
  }
}

async function names(page) {
  return page.locator("#rows td.name").allTextContents();
}

// Watches the page's thumbnail requests: how many, which, and how many were open at once.
function watchThumbs(page) {
  const seen = { urls: [], open: 0, answers: new Map() };
  const isThumb = (r) => /\/(api\/)?thumb\?/.test(r.url());
  page.on("request", (r) => {
    if (!isThumb(r)) return;
    seen.urls.push(r.url());
    seen.open++;
  });
  const end = async (r) => {
    if (!isThumb(r)) return;
    seen.open--;
    const res = await r.response().catch(() => null);
    seen.answers.set(decodeURIComponent(r.url()), res ? res.status() : 0);
  };
  page.on("requestfinished", end);
  page.on("requestfailed", end);
  return seen;
}

// The open view fills the screen: a picture of the screen shows it all (and a
// full-page one would resize the emulated phone under it).
async function screenshotView(page, file) {
  mkdirSync(SCREENSHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SCREENSHOTS, file) });
}

// The most thumbnail requests of one folder the page had open at once, from
// its own timing of each request (sent at startTime, answered at responseEnd).
// (While a route is set the browser's cache is off, so a tile drawn again
// fetches what it would otherwise have from the cache; one folder's tiles are
// counted.)
async function mostOpenThumbs(page, folder) {
  return page.evaluate((folder) => {
    const edges = [];
    for (const e of performance.getEntriesByType("resource")) {
      if (!/\/(api\/)?thumb\?/.test(e.name) || !e.name.includes(`path=${encodeURIComponent(folder + "/")}`)) continue;
      edges.push([e.startTime, 1], [e.responseEnd, -1]);
    }
    edges.sort((x, y) => x[0] - y[0] || x[1] - y[1]);
    let open = 0;
    let most = 0;
    for (const [, d] of edges) most = Math.max(most, open += d);
    return most;
  }, folder);
}

// The tile of one name: its row, drawn as a tile.
const tile = rowOf;

async function thumbLoaded(page, name) {
  return tile(page, name).locator("td.thumb img").evaluate((img) => img.complete && img.naturalWidth > 0);
}

async function assertGridShown(page, seen, { folders = ["Trip"], sizeWanted }) {
  assert.equal(await page.locator("table.grid").count(), 1, "the table is not drawn as a grid");
  for (const name of ["a-sunrise.jpg", "b-lake.png", "c-forest.jpg"]) {
    await tile(page, name).scrollIntoViewIfNeeded();
    await waitUntil(`the thumbnail of ${name}`, () => thumbLoaded(page, name));
  }
  await tile(page, "broken.jpg").scrollIntoViewIfNeeded();
  await waitUntil("the broken photo's icon", () => tile(page, "broken.jpg").locator("td.thumb .tileIcon.ic-file").count());
  assert.equal(await tile(page, "broken.jpg").locator("td.thumb img").count(), 0);
  const drawn = await tile(page, "broken.jpg").locator("td.thumb .tileIcon").evaluate((s) => {
    const r = s.getBoundingClientRect();
    return r.width > 20 && getComputedStyle(s).backgroundImage.startsWith("url(");
  });
  assert.ok(drawn, "the broken photo's icon is not drawn");
  assert.equal(await tile(page, "notes.md").locator("td.thumb .tileIcon.ic-file").count(), 1);
  for (const f of folders) assert.equal(await tile(page, f).locator("td.thumb .tileIcon.ic-folder").count(), 1);
  const broken = [...seen.answers].find(([u]) => u.includes("broken.jpg"));
  assert.equal(broken && broken[1], 404, "the broken photo was not answered 'No preview'");
  assert.equal(seen.urls.filter((u) => u.includes("notes.md")).length, 0, "a thumbnail was asked for a text file");
  const photoUrl = seen.urls.find((u) => u.includes("c-forest.jpg"));
  assert.match(photoUrl, new RegExp(`[?&]size=${sizeWanted}(&|$)`), photoUrl);
  assert.match(photoUrl, new RegExp(`[?&]m=${Date.UTC(2023, 5, 12, 18, 13, 22) / 1000}(&|$)`), photoUrl);
}

async function viewerState(page) {
  return page.evaluate(() => ({
    open: !document.getElementById("viewer").classList.contains("viewerHidden"),
    count: document.getElementById("viewerCount").textContent,
    name: document.getElementById("viewerName").textContent,
    width: (document.querySelector("#viewerStage img") || {}).naturalWidth || 0,
  }));
}

async function waitViewer(page, count, name) {
  return waitUntil(`the view at ${count} (${name})`, async () => {
    const s = await viewerState(page);
    return s.open && s.count === count && s.name === name && s.width === 600 ? s : false;
  });
}

// A one-finger sideways swipe through the browser's own touch input, at a
// finger's pace and held still for a moment before it lifts: a fling would
// still be running at the next tap, which then only stops it.
async function swipe(page, fromX, toX, y) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send("Input.dispatchTouchEvent", { type: "touchStart", touchPoints: [{ x: fromX, y }] });
  for (let i = 1; i <= 8; i++) {
    await new Promise((r) => setTimeout(r, 16));
    await cdp.send("Input.dispatchTouchEvent", { type: "touchMove", touchPoints: [{ x: fromX + (toX - fromX) * i / 8, y }] });
  }
  await new Promise((r) => setTimeout(r, 150));
  await cdp.send("Input.dispatchTouchEvent", { type: "touchEnd", touchPoints: [] });
  await cdp.detach();
}

async function assertNoSidewaysScroll(page) {
  const sizes = await page.evaluate(() => ({ page: document.documentElement.scrollWidth, view: window.innerWidth }));
  assert.ok(sizes.page <= sizes.view, `the page scrolls sideways: ${JSON.stringify(sizes)}`);
}

async function assertTappable(page) {
  const small = await page.evaluate(() => Array.from(document.querySelectorAll("button")).map((b) => {
    const r = b.getBoundingClientRect();
    return { label: b.title || b.getAttribute("aria-label") || b.textContent.trim(), w: r.width, h: r.height };
  }).filter((b) => (b.w > 0 || b.h > 0) && (b.w < 40 || b.h < 40)));
  assert.deepEqual(small, [], "buttons too small to tap");
}

for (const flavour of FLAVOURS) {
  const https = flavour === "vantrel-https";

  describe(`${flavour} gallery`, () => {
    let program;
    const disk = (...parts) => path.join(program.files, ...parts);

    before(async () => {
      program = await startProgram(flavour);
      fillPhotos(disk("Photos"));
      mkdirSync(disk("Many"), { recursive: true });
      for (let i = 0; i < 60; i++) copyFileSync(made["c-forest.jpg"], disk("Many", `IMG_${String(i).padStart(4, "0")}.jpg`));
    });
    after(async () => { await program?.stop(); });

    test("desktop: dates, grid, order, bulk actions, paging view, bounded loading", async () => {
      const context = await newContext(browser, program);
      const page = await openPage(context);
      const seen = watchThumbs(page);
      await login(page, program);
      await page.getByRole("link", { name: "Photos", exact: true }).click();
      await rowOf(page, "notes.md").waitFor();

      // The list shows each file's date, and the Date header orders by it, newest first.
      const shown = await rowOf(page, "c-forest.jpg").locator("td.date").textContent();
      const expected = await page.evaluate((s) => new Intl.DateTimeFormat(undefined, { dateStyle: "short", timeStyle: "short" })
        .format(new Date(s * 1000)), Date.UTC(2023, 5, 12, 18, 13, 22) / 1000);
      assert.equal(shown, expected);
      assert.deepEqual(await names(page), ["..", "Trip", ...BY_NAME]);
      await page.locator("th", { hasText: "Date" }).click();
      assert.deepEqual(await names(page), ["..", "Trip", ...NEWEST_FIRST]);
      assert.equal(await page.locator("#sortPick").inputValue(), "newest");
      await page.locator("th", { hasText: "Date" }).click();
      assert.deepEqual(await names(page), ["..", "Trip", ...NEWEST_FIRST.slice().reverse()]);
      assert.equal(await page.locator("#sortPick").inputValue(), "oldest");
      await page.locator("#sortPick").selectOption("name");
      assert.deepEqual(await names(page), ["..", "Trip", ...BY_NAME]);
      assert.equal(seen.urls.length, 0, "the list asked for thumbnails");

      // The grid: thumbnails, icons for the rest, and the choice outlives a reload.
      await page.getByRole("button", { name: "Grid", exact: true }).click();
      await assertGridShown(page, seen, { folders: ["Trip", ".."], sizeWanted: 320 });
      assert.deepEqual((await names(page)).slice(0, 2), ["..", "Trip"], "folders are not on top");
      await page.reload();
      await rowOf(page, "Photos").waitFor();
      assert.equal(await page.locator("table.grid").count(), 1, "the grid is not remembered");
      await page.getByRole("link", { name: "Photos", exact: true }).click();
      await rowOf(page, "notes.md").waitFor();
      await waitUntil("the thumbnails after the reload", () => thumbLoaded(page, "a-sunrise.jpg"));
      await page.locator("#sortPick").selectOption("newest");
      assert.deepEqual(await names(page), ["..", "Trip", ...NEWEST_FIRST]);
      await page.reload();
      await page.getByRole("link", { name: "Photos", exact: true }).click();
      await rowOf(page, "notes.md").waitFor();
      assert.deepEqual(await names(page), ["..", "Trip", ...NEWEST_FIRST], "the order is not remembered");
      assert.equal(await page.locator("#sortPick").inputValue(), "newest");
      await waitUntil("the thumbnails", () => thumbLoaded(page, "c-forest.jpg"));
      await screenshot(page, `${flavour}-gallery-desktop.png`);

      // The paging view: opened from a tile, by keys and by its own buttons.
      await tile(page, "c-forest.jpg").locator("td.thumb button").click();
      await waitViewer(page, "1 / 4", "c-forest.jpg");
      await waitUntil("the next photo loaded ahead", () => page.evaluate(() =>
        performance.getEntriesByType("resource").some((e) => e.name.includes("b-lake.png") && e.name.includes("view=1"))));
      assert.equal(await page.locator("#viewerPrev").isDisabled(), true);
      await page.keyboard.press("ArrowRight");
      await waitViewer(page, "2 / 4", "b-lake.png");
      await page.keyboard.press("ArrowRight");
      await waitViewer(page, "3 / 4", "a-sunrise.jpg");
      await page.keyboard.press("ArrowLeft");
      await waitViewer(page, "2 / 4", "b-lake.png");
      await page.locator("#viewerNext").click();
      await waitViewer(page, "3 / 4", "a-sunrise.jpg");
      await screenshotView(page, `${flavour}-gallery-viewer-desktop.png`);
      await page.locator("#viewerNext").click();
      await waitUntil("the broken photo in view", async () => (await viewerState(page)).count === "4 / 4");
      assert.equal(await page.locator("#viewerNext").isDisabled(), true);
      await page.locator("#viewerPrev").click();
      await waitViewer(page, "3 / 4", "a-sunrise.jpg");
      const [download] = await Promise.all([page.waitForEvent("download"), page.locator("#viewerDownload").click()]);
      assert.equal(download.suggestedFilename(), "a-sunrise.jpg");
      await page.keyboard.press("Escape");
      assert.equal((await viewerState(page)).open, false, "Escape does not close the view");
      assert.equal(await page.locator("#viewerStage > *").count(), 0);

      // Selection, ZIP, share and delete from the tiles.
      await tile(page, "c-forest.jpg").locator("input.itemSel").check();
      await tile(page, "b-lake.png").locator("input.itemSel").check();
      const [zip] = await Promise.all([page.waitForEvent("download", { timeout: 15000 }),
        page.getByRole("button", { name: "Download ZIP" }).click()]);
      const zipPath = path.join(scratch, `${flavour}.zip`);
      await zip.saveAs(zipPath);
      const zipped = execFileSync("unzip", ["-Z1", zipPath], { encoding: "utf8" }).trim().split("\n").sort();
      assert.deepEqual(zipped, ["Photos/b-lake.png", "Photos/c-forest.jpg"]);
      await tile(page, "a-sunrise.jpg").getByTitle("Create a direct download link").click();
      const share = await waitForDialog(page, /Share/);
      assert.match(share.value, /\/s\/[0-9a-f]+/);
      await tile(page, "notes.md").getByTitle("Delete this file permanently").click();
      await waitUntil("notes.md gone", async () => (await rowOf(page, "notes.md").count()) === 0);
      writeFileSync(disk("Photos", "notes.md"), "# not a picture\n");  // the phone's turn needs it again
      utimesSync(disk("Photos", "notes.md"), new Date(Date.UTC(2019, 5, 12)), new Date(Date.UTC(2019, 5, 12)));
      assert.equal((await tile(page, "c-forest.jpg").locator("input.itemSel").isChecked()), true, "the selection was lost");

      // A folder of 60 photos: only what comes near the screen is asked for, at most four at once.
      await page.route(/\/api\/thumb\?/, async (route) => {
        await new Promise((r) => setTimeout(r, 250));
        await route.continue().catch(() => {});
      });
      await page.locator("#sortPick").selectOption("name");
      const before = seen.urls.length;
      await tile(page, "..").locator("td.thumb button").click();
      await rowOf(page, "Many").waitFor();
      await tile(page, "Many").locator("td.thumb button").click();
      await rowOf(page, "IMG_0000.jpg").waitFor();
      await waitUntil("the first screen's thumbnails", () => thumbLoaded(page, "IMG_0000.jpg"));
      // Settled: nothing open and nothing new for half a second.
      let last = -1;
      let still = 0;
      await waitUntil("the loading to settle", async () => {
        still = seen.urls.length === last && seen.open === 0 ? still + 1 : 0;
        last = seen.urls.length;
        return still >= 5;
      }, 20000);
      const firstScreen = seen.urls.length - before;
      const onScreen = await page.evaluate(() => Array.from(document.querySelectorAll("#rows td.thumb"))
        .filter((td) => td.getBoundingClientRect().top < window.innerHeight).length);
      assert.ok(firstScreen >= onScreen && firstScreen < 60,
        `${firstScreen} thumbnails asked for on the first screen, ${onScreen} tiles on it`);
      assert.equal(await mostOpenThumbs(page, "Many"), 4, "thumbnail requests open at once");
      await page.locator("#rows tr").last().scrollIntoViewIfNeeded();
      await waitUntil("the last thumbnail", () => thumbLoaded(page, "IMG_0059.jpg"), 30000);
      assert.equal(await mostOpenThumbs(page, "Many"), 4, "thumbnail requests open at once");
      // Leaving the folder while the middle's thumbnails wait asks for none of them afterwards.
      await page.locator("#rows tr").nth(30).scrollIntoViewIfNeeded();
      await page.evaluate(() => up());
      await rowOf(page, "Photos").waitFor();
      const left = await page.evaluate(() => performance.now());
      await page.waitForTimeout(1500);
      const late = await page.evaluate((left) => performance.getEntriesByType("resource")
        .filter((e) => e.name.includes("path=Many") && e.startTime > left).length, left);
      assert.equal(late, 0, "thumbnails of a folder left behind were still asked for");
      await page.unroute(/\/api\/thumb\?/);
      assertClean(page);
      await context.close();
    });

    test("phone: grid, order, swipes in the view, and the shared folder's gallery", async () => {
      const context = await newContext(browser, program, PHONE);
      const page = await openPage(context);
      const seen = watchThumbs(page);
      await login(page, program);
      await page.getByRole("link", { name: "Photos", exact: true }).tap();
      await rowOf(page, "notes.md").waitFor();
      await page.getByRole("button", { name: "Grid", exact: true }).tap();
      await assertGridShown(page, seen, { folders: ["Trip", ".."], sizeWanted: 160 });
      await page.locator("#sortPick").selectOption("newest");
      assert.deepEqual(await names(page), ["..", "Trip", ...NEWEST_FIRST]);
      await waitUntil("the thumbnails", () => thumbLoaded(page, "c-forest.jpg"));
      await assertNoSidewaysScroll(page);
      await assertTappable(page);
      await screenshot(page, `${flavour}-gallery-phone.png`);

      await tile(page, "c-forest.jpg").locator("td.thumb button").tap();
      await waitViewer(page, "1 / 4", "c-forest.jpg");
      const touch = await page.locator("#viewer").evaluate((v) => getComputedStyle(v).touchAction);
      assert.match(touch, /pan-y/, "sideways moves in the view are left to the browser");
      const address = page.url();
      await swipe(page, 320, 60, 420);
      await waitViewer(page, "2 / 4", "b-lake.png");
      await swipe(page, 320, 60, 420);
      await waitViewer(page, "3 / 4", "a-sunrise.jpg");
      await swipe(page, 60, 330, 420);
      await waitViewer(page, "2 / 4", "b-lake.png");
      await screenshotView(page, `${flavour}-gallery-viewer-phone.png`);
      assert.equal(page.url(), address, "a swipe navigated away");
      await assertTappable(page);
      await page.locator("#viewerClose").tap();
      await waitUntil("one tap to close the view", async () => !(await viewerState(page)).open);

      // The shared folder's gallery: same grid, its own thumbnail route, same view.
      const answer = await (await page.request.get(program.origin + "/api/share?path=Photos")).json();
      assert.equal(answer.ok, true, JSON.stringify(answer));
      const stranger = await newContext(browser, program, PHONE);
      const shared = await openPage(stranger, program.origin + answer.path);
      const sharedSeen = watchThumbs(shared);
      await rowOf(shared, "notes.md").waitFor();
      assert.equal(await shared.locator("table.grid").count(), 0, "a new browser starts in the grid");
      await shared.getByRole("button", { name: "Grid", exact: true }).tap();
      await assertGridShown(shared, sharedSeen, { folders: [], sizeWanted: 160 });
      assert.ok(sharedSeen.urls.every((u) => u.includes(`${answer.path}/thumb?name=`)), sharedSeen.urls.join(" "));
      await shared.locator("#sortPick").selectOption("newest");
      assert.deepEqual(await names(shared), NEWEST_FIRST);
      await waitUntil("the shared thumbnails", () => thumbLoaded(shared, "c-forest.jpg"));
      await assertNoSidewaysScroll(shared);
      await assertTappable(shared);
      await screenshot(shared, `${flavour}-gallery-shared-phone.png`);
      if (https) {
        await tile(shared, "b-lake.png").locator("input.rowSel").tap();
        assert.equal(await shared.locator("#selInfo").textContent(), "1 selected");
      }
      await tile(shared, "c-forest.jpg").locator("td.thumb button").tap();
      await waitViewer(shared, "1 / 4", "c-forest.jpg");
      await shared.locator("#viewerNext").tap();
      await waitViewer(shared, "2 / 4", "b-lake.png");
      await swipe(shared, 320, 60, 420);
      await waitViewer(shared, "3 / 4", "a-sunrise.jpg");
      await shared.locator("#viewerClose").tap();
      await waitUntil("one tap to close the shared view", async () => !(await viewerState(shared)).open);
      await shared.reload();
      await rowOf(shared, "notes.md").waitFor();
      assert.equal(await shared.locator("table.grid").count(), 1, "the shared page's grid is not remembered");
      await waitUntil("the shared thumbnails after the reload", () => thumbLoaded(shared, "a-sunrise.jpg"));
      assertClean(page);
      assertClean(shared);
      await stranger.close();
      await context.close();
    });
  });
}
