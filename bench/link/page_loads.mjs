// Page loads for the link benchmark: headless Chromium opens the file
// manager, each load in a new browser context (no cache, no open
// connection), and reports when the list was painted and, for a folder of
// photos, when the first screen of thumbnails was decoded, with what the
// load moved: bytes, requests, connections and TLS handshakes (from the
// browser's own network events).
//
//   node page_loads.mjs '<json: [{origin, cookie, rows, thumbs: [url...]}...]>'
//
// Prints one JSON line per load, in the order given.
import { createRequire } from "node:module";
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
    const got = await page.evaluate(() => ({ list: window.__listPainted, done: window.__done, failed: window.__failed }));
    if (got.failed) throw new Error(got.failed);
    const title = await page.title();
    if (title !== "Vantrel PRO - File Manager") throw new Error(`not the file manager: ${title}`);
    const all = [...responses.values()];
    return {
      listMs: got.list,
      doneMs: got.done,
      bytes,
      requests: all.length,
      connections: new Set(all.map((r) => r.connectionId)).size,
      newConnections: all.filter((r) => r.timing && r.timing.connectStart >= 0).length,
      handshakes: all.filter((r) => r.timing && r.timing.sslStart >= 0).length,
    };
  } finally {
    await context.close();
  }
}

const jobs = JSON.parse(process.argv[2]);
const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run"],
});
try {
  for (const job of jobs) console.log(JSON.stringify(await load(browser, job)));
} finally {
  await browser.close();
}
