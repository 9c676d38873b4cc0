// Page loads for the link benchmark: headless Chromium opens the file
// manager, each load in a new browser context (no cache, no open
// connection), and reports when the first screen of the list was painted,
// when all its rows were, and, for a folder of photos opened in the grid,
// when the tiles on the first screen showed their thumbnails; with what the
// load moved (bytes and requests, from the browser's own network events)
// and when the page itself and its listing had arrived.
//
//   node page_loads.mjs   (reads one load a line: {origin, cookie, rows, grid})
//
// Answers each line with one JSON line, so the caller can count what the
// server saw between loads.
import { createRequire } from "node:module";
import readline from "node:readline";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.resolve(here, "../../tests/e2e/package.json"));
const { chromium } = require("playwright-core");

// Runs in the page before its own scripts, and looks once a frame, before
// it is drawn: a time is noted after the first frame in which the rows
// reach past the bottom of the window (or are all there), after the first
// with all rows, and, in the grid, after the first in which every tile on
// the screen shows its thumbnail or its icon.
function watch({ rows, grid }) {
  if (grid) localStorage.setItem("vantrel.view", "grid");
  const afterPaint = (key) => setTimeout(() => { window[key] = performance.now(); }, 0);
  const onScreen = (tr) => {
    const r = tr.getBoundingClientRect();
    return r.bottom > 0 && r.top < innerHeight;
  };
  const tileDone = (tr) => {
    const img = tr.querySelector("td.thumb img");
    return !img || (img.complete && img.naturalWidth > 0 && !img.classList.contains("thumbPending"));
  };
  const look = () => {
    const tbody = document.getElementById("rows");
    const all = tbody ? tbody.children : [];
    if (window.__firstNoted === undefined && all.length &&
        (all.length >= rows || all[all.length - 1].getBoundingClientRect().top >= innerHeight)) {
      window.__firstNoted = true;
      afterPaint("__firstScreen");
    }
    if (window.__allNoted === undefined && all.length >= rows) {
      window.__allNoted = true;
      afterPaint("__listPainted");
    }
    if (grid && window.__thumbsNoted === undefined && window.__firstNoted) {
      const shown = Array.from(all).filter(onScreen);
      if (shown.length && shown.every(tileDone)) {
        window.__thumbsNoted = shown.length;
        afterPaint("__thumbsShown");
      }
    }
    const done = window.__allNoted && (!grid || window.__thumbsNoted !== undefined);
    if (!done) requestAnimationFrame(look);
  };
  requestAnimationFrame(look);
}

async function load(browser, job) {
  const context = await browser.newContext({ ignoreHTTPSErrors: true });
  try {
    const [name, ...value] = job.cookie.split("=");
    await context.addCookies([{ name, value: value.join("="), url: job.origin }]);
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    const responses = new Map();
    let bytes = 0;
    cdp.on("Network.responseReceived", (e) => responses.set(e.requestId, e.response));
    cdp.on("Network.loadingFinished", (e) => { bytes += e.encodedDataLength; });
    await cdp.send("Network.enable");
    await page.addInitScript(watch, { rows: job.rows, grid: !!job.grid });
    await page.goto(job.origin + "/", { waitUntil: "commit" });
    await page.waitForFunction(() => window.__listPainted !== undefined &&
      (localStorage.getItem("vantrel.view") !== "grid" || window.__thumbsShown !== undefined), null,
    { timeout: 120000, polling: 50 });
    const got = await page.evaluate(() => {
      const listing = performance.getEntriesByType("resource").find((e) => e.name.includes("/api/list"));
      return {
        first: window.__firstScreen, list: window.__listPainted, thumbs: window.__thumbsShown,
        tiles: window.__thumbsNoted || 0,
        page: performance.getEntriesByType("navigation")[0].responseEnd,
        listing: listing ? listing.responseEnd : null,
        listingStart: listing ? listing.startTime : null,
      };
    });
    const title = await page.title();
    if (title !== "Vantrel PRO - File Manager") throw new Error(`not the file manager: ${title}`);
    const all = [...responses.values()].filter((r) => r.url.startsWith("http"));
    return {
      pageMs: got.page,
      listingStartMs: got.listingStart,
      listingMs: got.listing,
      firstMs: got.first,
      listMs: got.list,
      thumbsMs: got.thumbs,
      tiles: got.tiles,
      bytes,
      requests: all.length,
      thumbRequests: all.filter((r) => r.url.includes("/api/thumb")).length,
    };
  } finally {
    await context.close();
  }
}

// The browser's own toolbar pages (its address bar's pop-up is a page of
// its own, made for every new window) stay out of the measured loads.
const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run",
    "--disable-features=PreloadTopChromeWebUI,WebUIOmniboxPopup,WebUIOmniboxFullPopup,WebUIOmniboxAimPopup"],
});
try {
  for await (const line of readline.createInterface({ input: process.stdin })) {
    console.log(JSON.stringify(await load(browser, JSON.parse(line))));
  }
} finally {
  await browser.close();
}
