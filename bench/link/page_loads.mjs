// Page loads for the link benchmark: headless Chromium opens the file
// manager, each load in a new browser context (no cache, no open
// connection), and reports when the list was painted and, for a folder of
// photos, when the first screen of thumbnails was decoded, with what the
// load moved (bytes and requests, from the browser's own network events)
// and when the page itself and its listing had arrived.
//
//   node page_loads.mjs   (reads one load a line: {origin, cookie, rows, thumbs: [url...]})
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

const THUMBS_IN_FLIGHT = 4;

// Runs in the page before its own scripts: notes the time once the list
// holds all its rows and a frame has been painted with them, then, if asked,
// loads the thumbnails a few at a time.
function watch({ rows, thumbs, inFlight }) {
  const painted = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
  const decoded = (url) => new Promise((resolve, reject) => {
    const img = new Image();
    img.onload = () => img.decode().then(resolve, resolve);
    img.onerror = () => reject(new Error("thumbnail failed: " + url));
    img.src = url;
  });
  const observer = new MutationObserver(async () => {
    if (document.querySelectorAll("#rows tr").length < rows) return;
    observer.disconnect();
    await painted();
    window.__listPainted = performance.now();
    const queue = thumbs.slice();
    const worker = async () => { while (queue.length) await decoded(queue.shift()); };
    try {
      await Promise.all(Array.from({ length: Math.min(inFlight, thumbs.length) }, worker));
      window.__done = performance.now();
    } catch (e) {
      window.__failed = e.message;
    }
  });
  observer.observe(document, { childList: true, subtree: true });
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
    await page.addInitScript(watch, { rows: job.rows, thumbs: job.thumbs, inFlight: THUMBS_IN_FLIGHT });
    await page.goto(job.origin + "/", { waitUntil: "commit" });
    await page.waitForFunction(() => window.__done !== undefined || window.__failed !== undefined, null,
      { timeout: 120000, polling: 50 });
    const got = await page.evaluate(() => {
      const listing = performance.getEntriesByType("resource").find((e) => e.name.includes("/api/list"));
      return {
        list: window.__listPainted, done: window.__done, failed: window.__failed,
        page: performance.getEntriesByType("navigation")[0].responseEnd,
        listing: listing ? listing.responseEnd : null,
      };
    });
    if (got.failed) throw new Error(got.failed);
    const title = await page.title();
    if (title !== "Vantrel PRO - File Manager") throw new Error(`not the file manager: ${title}`);
    const all = [...responses.values()].filter((r) => r.url.startsWith("http"));
    return {
      pageMs: got.page,
      listingMs: got.listing,
      listMs: got.list,
      doneMs: got.done,
      bytes,
      requests: all.length,
    };
  } finally {
    await context.close();
  }
}

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run"],
});
try {
  for await (const line of readline.createInterface({ input: process.stdin })) {
    console.log(JSON.stringify(await load(browser, JSON.parse(line))));
  }
} finally {
  await browser.close();
}
