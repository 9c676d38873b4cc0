// Resumable uploads driven by the tus protocol's own JavaScript client
// against both programs: a large upload cut off again and again, the program
// restarted in the middle, a creation that carries data, and termination.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createHash, randomBytes, randomInt } from "node:crypto";
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from "node:fs";
import http from "node:http";
import https from "node:https";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { test } from "node:test";
import * as tus from "tus-js-client";
import { BIN, FLAVOURS, passThroughProxy } from "./harness.mjs";

// The programs' certificates are their own.
process.env.NODE_TLS_REJECT_UNAUTHORIZED = "0";

const MiB = 1024 * 1024;

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.on("error", reject);
    s.listen({ port: 0, host: "127.0.0.1" }, () => {
      const port = s.address().port;
      s.close(() => resolve(port));
    });
  });
}

// A program that can be killed and started again on the same home and port.
function launch(name, home, port) {
  const env = Object.fromEntries(Object.entries(process.env).filter(([k]) => !k.startsWith("XDG_")));
  env.HOME = home;
  const proc = spawn(path.join(BIN, name), ["--port", String(port)], { env, stdio: ["ignore", "pipe", "inherit"] });
  const lines = [];
  let rest = "";
  const ready = new Promise((resolve, reject) => {
    proc.stdout.on("data", (chunk) => {
      const parts = (rest + chunk.toString("utf8")).split("\n");
      rest = parts.pop();
      lines.push(...parts);
      const pin = lines.find((l) => l.includes("AUTH    PIN="));
      if (pin && lines.some((l) => l.includes("SERVER  listening"))) resolve(pin.split("AUTH    PIN=")[1].trim());
    });
    proc.on("exit", (code) => reject(new Error(`${name} ended (rc=${code}): ${lines.join(" | ")}`)));
  });
  return {
    proc, lines, ready,
    async kill() {
      const done = new Promise((resolve) => proc.once("exit", resolve));
      proc.kill("SIGKILL");
      await done;
    },
  };
}

function request(origin, method, target, headers = {}, body = undefined) {
  const url = new URL(target, origin);
  const lib = url.protocol === "https:" ? https : http;
  return new Promise((resolve, reject) => {
    const req = lib.request(url, { method, headers: { Host: `127.0.0.1:${url.port}`, ...headers } }, (res) => {
      const chunks = [];
      res.on("data", (c) => chunks.push(c));
      res.on("end", () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    });
    req.on("error", reject);
    req.end(body);
  });
}

async function waitForLine(program, text) {
  for (let i = 0; i < 100 && !program.lines.some((l) => l.endsWith(text)); i++)
    await new Promise((resolve) => setTimeout(resolve, 100));
  return program.lines.some((l) => l.endsWith(text));
}

async function start(name, home, port) {
  const program = launch(name, home, port);
  const pin = await program.ready;
  const origin = `${name === "vantrel-https" ? "https" : "http"}://127.0.0.1:${port}`;
  const login = await request(origin, "POST", "/api/login", { "Content-Type": "application/json" },
    JSON.stringify({ code: pin }));
  assert.equal(login.status, 200);
  program.origin = origin;
  program.cookie = login.headers["set-cookie"][0].split(";")[0];
  return program;
}

// Runs an upload until it succeeds or fails; with abortAt, the client
// aborts it once it has sent that many bytes.
function runUpload(data, options, abortAt = null) {
  return new Promise((resolve) => {
    let aborted = false;
    const upload = new tus.Upload(data, {
      retryDelays: null,
      storeFingerprintForResuming: false,
      ...options,
      onProgress(sent) {
        if (abortAt !== null && !aborted && sent >= abortAt) {
          aborted = true;
          upload.abort().then(() => resolve({ url: upload.url, ended: "aborted" }));
        }
      },
      onSuccess(payload) {
        if (!aborted) resolve({ url: upload.url, ended: "done", response: payload.lastResponse });
      },
      onError(error) {
        if (!aborted) resolve({ url: upload.url, ended: "failed", error });
      },
    });
    upload.start();
  });
}

async function serverOffset(program, url) {
  const head = await request(program.origin, "HEAD", url, { Cookie: program.cookie, "Tus-Resumable": "1.0.0" });
  assert.equal(head.status, 200);
  return Number(head.headers["upload-offset"]);
}

function sha256(bytes) {
  return createHash("sha256").update(bytes).digest("hex");
}

function entriesOf(folder) {
  return readdirSync(folder).sort();
}

for (const name of FLAVOURS) {
  test(`${name}: a large upload cut off repeatedly and across a restart arrives whole`, async () => {
    const home = mkdtempSync(path.join(os.tmpdir(), "vantrel-tus-home-"));
    const port = await freePort();
    let program = await start(name, home, port);
    const proxy = await passThroughProxy(port);
    try {
      const data = randomBytes(200 * MiB);
      const lastModified = 1700000000123;
      let expires = null;
      const options = (url) => ({
        endpoint: proxy.origin(name === "vantrel-https") + "/api/tus",
        uploadUrl: url,
        headers: { Cookie: program.cookie },
        metadata: { filename: "big.bin", lastModified: String(lastModified) },
        onAfterResponse(req, res) {
          if (res.getHeader("Upload-Expires")) expires = Date.parse(res.getHeader("Upload-Expires"));
        },
      });
      // The client gives up early (its progress may run well ahead of what
      // the program has received, so never near the end)...
      let run = await runUpload(data, options(null), randomInt(MiB, 20 * MiB));
      assert.equal(run.ended, "aborted");
      const url = run.url;
      assert.ok(url, "the upload was created");
      // ... then connections break at random points, each further on.
      for (let i = 0; i < 3; i++) {
        const offset = await serverOffset(program, url);
        proxy.cutAt = randomInt(MiB, Math.max(MiB + 1, 190 * MiB - offset));
        run = await runUpload(data, options(url));
        assert.equal(run.ended, "failed");
        assert.ok(await serverOffset(program, url) >= offset);
      }
      proxy.cutAt = Infinity;
      // Upload-Expires lies about a day after the last write.
      assert.ok(expires !== null);
      assert.ok(Math.abs(expires - (Date.now() + 24 * 3600 * 1000)) < 3600 * 1000, `expires ${expires}`);

      const files = path.join(home, ".local/share/vantrel/files");
      assert.deepEqual(entriesOf(files).filter((n) => !n.startsWith(".vantrel-partial-")), []);

      // Killed without warning: what arrived is on disk and counts after the restart.
      const before = await serverOffset(program, url);
      await program.kill();
      program = await start(name, home, port);
      assert.equal(await serverOffset(program, url), before);
      assert.ok(before > 0 && before < data.length, `offset ${before}`);

      const done = await runUpload(data, options(url));
      assert.equal(done.ended, "done", String(done.error));
      assert.equal(done.response.getHeader("Upload-File-Name"), "big.bin");
      assert.deepEqual(entriesOf(files), ["big.bin"]);
      const stored = path.join(files, "big.bin");
      assert.equal(sha256(readFileSync(stored)), sha256(data));
      assert.equal(statSync(stored).mtimeMs, lastModified);
      assert.ok(await waitForLine(program, "UPLOAD  " + stored));
    } finally {
      await proxy.close();
      await program.kill();
      rmSync(home, { recursive: true, force: true });
    }
  });

  test(`${name}: creation with data, numbered names, folders, guests of a share, termination`, async () => {
    const home = mkdtempSync(path.join(os.tmpdir(), "vantrel-tus-home-"));
    const port = await freePort();
    const program = await start(name, home, port);
    try {
      const files = path.join(home, ".local/share/vantrel/files");
      const small = randomBytes(3 * MiB);
      const base = {
        endpoint: program.origin + "/api/tus",
        headers: { Cookie: program.cookie },
        uploadDataDuringCreation: true,
      };
      const first = await runUpload(small, { ...base, metadata: { filename: "photo.jpg" } });
      const second = await runUpload(small, { ...base, metadata: { filename: "photo.jpg" } });
      assert.deepEqual([first.ended, second.ended], ["done", "done"]);
      assert.equal(first.response.getHeader("Upload-File-Name"), "photo.jpg");
      assert.equal(second.response.getHeader("Upload-File-Name"), "photo%20%281%29.jpg");
      const replaced = await runUpload(Buffer.from("new"), { ...base, metadata: { filename: "photo.jpg", overwrite: "1" } });
      assert.equal(replaced.response.getHeader("Upload-File-Name"), "photo.jpg");
      assert.equal(readFileSync(path.join(files, "photo.jpg"), "utf8"), "new");
      assert.ok(readFileSync(path.join(files, "photo (1).jpg")).equals(small));

      // A folder upload into a share, by its guest.
      mkdirSync(path.join(files, "inbox"));
      const share = await request(program.origin, "GET", "/api/share?path=inbox", { Cookie: program.cookie });
      const link = JSON.parse(share.body).path;
      await runUpload(small, {
        endpoint: program.origin + link + "/tus",
        metadata: { filename: "notes.txt", relativePath: "trip/day 1" },
      });
      assert.ok(readFileSync(path.join(files, "inbox/trip/day 1/notes.txt")).equals(small));

      // Terminated halfway: its data goes, the id is unknown afterwards.
      const created = await request(program.origin, "POST", "/api/tus", {
        Cookie: program.cookie, "Tus-Resumable": "1.0.0", "Upload-Length": "1000",
        "Upload-Metadata": "filename " + Buffer.from("gone.bin").toString("base64"),
        "Content-Type": "application/offset+octet-stream" }, Buffer.alloc(100));
      assert.equal(created.status, 201);
      const url = program.origin + created.headers.location;
      assert.ok(entriesOf(files).some((n) => n.startsWith(".vantrel-partial-")));
      await tus.Upload.terminate(url, { headers: { Cookie: program.cookie }, retryDelays: null });
      const head = await request(program.origin, "HEAD", url, { Cookie: program.cookie, "Tus-Resumable": "1.0.0" });
      assert.equal(head.status, 404);
      assert.deepEqual(entriesOf(files), ["inbox", "photo (1).jpg", "photo.jpg"]);
    } finally {
      await program.kill();
      rmSync(home, { recursive: true, force: true });
    }
  });
}
