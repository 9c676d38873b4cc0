// Starts the real Linux programs on a free loopback port with a temporary
// home folder, reads their event log from stdout, and drives Debian's
// Chromium against them through playwright-core.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";

const here = path.dirname(fileURLToPath(import.meta.url));
export const BIN = process.env.VANTREL_BIN || path.resolve(here, "../../build/linux/bin");
// A page's bytes as the programs ship them: the build assembles each one into
// <build>/web/<flavour>/ before embedding it.
export function pageBytes(file) {
  return readFileSync(path.resolve(BIN, "../web", file));
}
export const SCREENSHOTS = process.env.VANTREL_SCREENSHOTS || path.resolve(BIN, "../screenshots");
export const FLAVOURS = ["vantrel-https", "vantrel-http"];
const CHROMIUM = "/usr/bin/chromium";

export const PHONE = { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true, deviceScaleFactor: 1 };

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.on("error", reject);
    s.listen({ port: 0, host: "::", ipv6Only: false }, () => {
      const port = s.address().port;
      s.close(() => resolve(port));
    });
  });
}

// One running program; its event log lines arrive without time stamps in `messages`.
export async function startProgram(name) {
  const home = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-home-"));
  const port = await freePort();
  const env = Object.fromEntries(Object.entries(process.env).filter(([k]) => !k.startsWith("XDG_")));
  env.HOME = home;
  const proc = spawn(path.join(BIN, name), ["--port", String(port)], { env, stdio: ["ignore", "pipe", "pipe"] });
  const messages = [];
  const waiters = [];
  let stdoutRest = "";
  let stderr = "";
  let exited = null;
  const notify = () => waiters.splice(0).forEach((w) => w());
  proc.stdout.on("data", (chunk) => {
    const lines = (stdoutRest + chunk.toString("utf8")).split("\n");
    stdoutRest = lines.pop();
    for (const raw of lines) {
      const line = raw.replace(/\r$/, "");
      messages.push(line.length > 25 && line[4] === "-" ? line.slice(25) : line);
    }
    notify();
  });
  proc.stderr.on("data", (chunk) => { stderr += chunk.toString("utf8"); });
  proc.on("exit", (code) => { exited = code; notify(); });

  const program = {
    name,
    tls: name === "vantrel-https",
    port,
    home,
    messages,
    get origin() { return `${this.tls ? "https" : "http"}://127.0.0.1:${port}`; },
    get files() { return path.join(home, ".local/share/vantrel/files"); },
    async waitFor(text, timeoutMs = 15000) {
      const end = Date.now() + timeoutMs;
      for (;;) {
        const hit = messages.find((m) => m.includes(text));
        if (hit !== undefined) return hit;
        if (exited !== null) throw new Error(`${name} ended (rc=${exited}) before '${text}'; log: ${messages.join(" | ")}; stderr: ${stderr}`);
        const left = end - Date.now();
        if (left <= 0) throw new Error(`no log line with '${text}' within ${timeoutMs} ms; log: ${messages.join(" | ")}`);
        await new Promise((resolve) => {
          const t = setTimeout(resolve, Math.min(left, 200));
          waiters.push(() => { clearTimeout(t); resolve(); });
        });
      }
    },
    async stop() {
      if (exited === null) {
        const done = new Promise((resolve) => proc.once("exit", resolve));
        proc.kill("SIGTERM");
        const timer = setTimeout(() => proc.kill("SIGKILL"), 10000);
        await done;
        clearTimeout(timer);
      }
      rmSync(home, { recursive: true, force: true });
    },
  };
  await program.waitFor("SERVER  listening");
  program.pin = (await program.waitFor("AUTH    PIN=")).slice("AUTH    PIN=".length).trim();
  assert.match(program.pin, /^[0-9]{6}$/);
  return program;
}

export async function launchBrowser() {
  if (!existsSync(CHROMIUM)) throw new Error(`${CHROMIUM} is missing: run scripts/install-deps.sh (package chromium)`);
  // Playwright gives every launch a new, empty --user-data-dir of its own.
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
      "--disable-component-update", "--disable-sync", "--no-first-run"],
  });
}

// A browser context that accepts the self-signed certificate; `options` may add a phone viewport.
export async function newContext(browser, program, options = {}) {
  const context = await browser.newContext({ ignoreHTTPSErrors: true, acceptDownloads: true, ...options });
  await context.grantPermissions(["clipboard-read", "clipboard-write"], { origin: program.origin });
  return context;
}

// Status lines of answers the tests provoke on purpose (a wrong PIN is a 401)
// are the browser's network log, not faults of the page.
const NETWORK_STATUS = /^Failed to load resource: the server responded with a status of \d+/;

// A page that records console errors, uncaught exceptions and dialogs.
// Dialogs are accepted; `page.dialogs` keeps what they said.
export async function openPage(context, url) {
  const page = await context.newPage();
  page.problems = [];
  page.dialogs = [];
  page.on("console", (m) => {
    if (m.type() === "error" && !NETWORK_STATUS.test(m.text())) page.problems.push(`console: ${m.text()}`);
  });
  page.on("pageerror", (e) => page.problems.push(`page error: ${e.message}`));
  page.on("dialog", async (d) => {
    page.dialogs.push({ type: d.type(), message: d.message(), value: d.defaultValue() });
    await d.accept();
  });
  if (url) await page.goto(url);
  return page;
}

export function assertClean(page) {
  assert.deepEqual(page.problems, [], "the page reported errors");
}

export async function login(page, program) {
  await page.goto(program.origin + "/");
  await page.fill("#code", program.pin);
  await page.getByRole("button", { name: "Login" }).click();
  await page.waitForFunction(() => document.title === "Vantrel PRO - File Manager", null, { timeout: 10000 }).catch(() => {});
  if (await page.title() !== "Vantrel PRO - File Manager") {
    const said = await page.locator("#msg").textContent({ timeout: 1000 }).catch(() => "?");
    assert.fail(`login with the run PIN did not reach the file manager; the login line says: ${said}`);
  }
}

// Waits until the page has shown a dialog whose message matches, and returns it.
export async function waitForDialog(page, pattern, timeoutMs = 10000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const hit = page.dialogs.find((d) => pattern.test(d.message));
    if (hit) {
      page.dialogs.splice(page.dialogs.indexOf(hit), 1);
      return hit;
    }
    if (Date.now() > end) throw new Error(`no dialog matching ${pattern}; dialogs: ${JSON.stringify(page.dialogs)}`);
    await page.waitForTimeout(50);
  }
}

export async function screenshot(page, file) {
  mkdirSync(SCREENSHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SCREENSHOTS, file), fullPage: true });
}

export async function waitUntil(what, check, timeoutMs = 10000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    let last;
    try {
      last = await check();
      if (last) return last;
    } catch (e) {
      last = e.message;
    }
    if (Date.now() > end) throw new Error(`timed out waiting for ${what} (last: ${last})`);
    await new Promise((r) => setTimeout(r, 100));
  }
}

// The row of the table whose name cell holds exactly this text.
export function rowOf(page, name) {
  return page.locator("#rows tr").filter({ has: page.getByText(name, { exact: true }) });
}

// Passes connections through to a program on this port. Each connection is
// ended, both ways, once it has carried cutAt bytes towards the program (the
// program has then received at most that many); cutAll() ends every open
// one; while refusing, new ones are ended as they come. carried counts the
// bytes that went towards the program.
export async function passThroughProxy(port) {
  const proxy = { cutAt: Infinity, refusing: false, carried: 0 };
  const open = new Set();
  const server = net.createServer((client) => {
    if (proxy.refusing) {
      client.destroy();
      return;
    }
    const upstream = net.connect(port, "127.0.0.1");
    const limit = proxy.cutAt;
    let carried = 0;
    const cut = () => { client.destroy(); upstream.destroy(); open.delete(cut); };
    open.add(cut);
    client.on("data", (chunk) => {
      const room = limit - carried;
      carried += chunk.length;
      proxy.carried += Math.min(chunk.length, Math.max(room, 0));
      if (chunk.length >= room) {
        client.pause();
        upstream.write(chunk.subarray(0, room), cut);
      } else if (!upstream.write(chunk)) {
        client.pause();
        upstream.once("drain", () => client.resume());
      }
    });
    upstream.on("data", (chunk) => client.write(chunk));
    client.on("end", () => upstream.end());
    upstream.on("end", () => client.end());
    for (const s of [client, upstream]) {
      s.on("error", cut);
      s.on("close", cut);
    }
  });
  await new Promise((resolve) => server.listen({ port: 0, host: "127.0.0.1" }, resolve));
  proxy.origin = (tls) => `${tls ? "https" : "http"}://127.0.0.1:${server.address().port}`;
  proxy.cutAll = () => { for (const cut of [...open]) cut(); };
  proxy.close = () => { proxy.cutAll(); return new Promise((resolve) => server.close(resolve)); };
  return proxy;
}
