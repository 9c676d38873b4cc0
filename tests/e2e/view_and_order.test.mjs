// Viewing files in the browser and the order of the listing, on both
// programs, at desktop size and on a phone: a photo opens and closes, a
// video plays and seeks with byte ranges, an HTML file never runs, and the
// rows come folders first in natural name order, or by size when asked.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, rmSync, writeFileSync, copyFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { deflateSync } from "node:zlib";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, PHONE, assertClean, launchBrowser, login, newContext, openPage, rowOf, startProgram, waitUntil,
} from "./harness.mjs";

let browser;
const scratch = mkdtempSync(path.join(os.tmpdir(), "vantrel-e2e-view-"));
const clip = path.join(scratch, "clip.webm");
const LONG = "Notes from the long summer holiday at the lake 2024-05-17 (final).txt";

before(async () => {
  browser = await launchBrowser();
  // Twenty seconds of noisy picture: several megabytes, so a seek to the
  // middle lies beyond what the browser reads ahead.
  execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i",
    "testsrc2=size=640x360:rate=25:duration=20,noise=alls=40:allf=t",
    "-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "3M", "-g", "25", clip]);
});
after(async () => {
  await browser?.close();
  rmSync(scratch, { recursive: true, force: true });
});

// A 40 x 30 PNG of one colour.
function png() {
  const crc = (buf) => {
    let c = ~0;
    for (const b of buf) {
      c ^= b;
      for (let k = 0; k < 8; k++) c = (c >>> 1) ^ (0xedb88320 & -(c & 1));
    }
    return ~c >>> 0;
  };
  const chunk = (type, data) => {
    const len = Buffer.alloc(4);
    len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type), data]);
    const sum = Buffer.alloc(4);
    sum.writeUInt32BE(crc(body));
    return Buffer.concat([len, body, sum]);
  };
  const head = Buffer.alloc(13);
  head.writeUInt32BE(40, 0);
  head.writeUInt32BE(30, 4);
  head.set([8, 2, 0, 0, 0], 8);
  const rows = Buffer.concat(Array.from({ length: 30 }, () => Buffer.concat([Buffer.from([0]), Buffer.alloc(120, 200)])));
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk("IHDR", head), chunk("IDAT", deflateSync(rows)),
    chunk("IEND", Buffer.alloc(0))]);
}

async function names(page) {
  return page.locator("#rows td.name").allTextContents();
}

async function viewPhoto(page, row, title, tap) {
  await (tap ? row.getByTitle(title).tap() : row.getByTitle(title).click());
  await waitUntil("the photo shown", () => page.evaluate(() => {
    const img = document.querySelector("#viewerStage img");
    return img && img.complete && img.naturalWidth === 40;
  }));
  const box = await page.locator("#viewer").boundingBox();
  const view = page.viewportSize();
  assert.deepEqual([box.width, box.height], [view.width, view.height], "the view does not fill the screen");
  await (tap ? page.locator("#viewerClose").tap() : page.locator("#viewerClose").click());
  assert.equal(await page.locator("#viewer").isVisible(), false);
  assert.equal(await page.locator("#viewerStage > *").count(), 0);
}

for (const flavour of FLAVOURS) {
  describe(`${flavour} view and order`, () => {
    let program;
    const disk = (...parts) => path.join(program.files, ...parts);

    before(async () => {
      program = await startProgram(flavour);
      mkdirSync(disk("zeta"), { recursive: true });
      mkdirSync(disk("Alpha"), { recursive: true });
      mkdirSync(disk("media"), { recursive: true });
      writeFileSync(disk("file10.txt"), "1");
      writeFileSync(disk("File2.txt"), "22222");
      writeFileSync(disk("file1.txt"), "333");
      writeFileSync(disk("photo.png"), png());
      writeFileSync(disk("media", "photo.png"), png());
      copyFileSync(clip, disk("clip.webm"));
      writeFileSync(disk("media", LONG), "long");
      writeFileSync(disk("page.html"), "<script>alert('ran')</script><p>page</p>");
      writeFileSync(disk("logo.svg"), "<svg xmlns='http://www.w3.org/2000/svg'><script>alert('ran')</script></svg>");
    });
    after(async () => { await program?.stop(); });

    test("desktop: order, photo, video seeking, and no script from an HTML file", async () => {
      const context = await newContext(browser, program);
      const page = await openPage(context);
      await login(page, program);
      await rowOf(page, "file10.txt").waitFor();
      const byName = ["Alpha", "media", "zeta", "clip.webm", "file1.txt", "File2.txt", "file10.txt", "logo.svg",
        "page.html", "photo.png"];
      assert.deepEqual(await names(page), byName);
      await page.locator("th", { hasText: "Size" }).click();
      const bySize = await names(page);
      assert.deepEqual(bySize.slice(0, 6), ["Alpha", "media", "zeta", "file10.txt", "file1.txt", "File2.txt"]);
      assert.equal(bySize.at(-1), "clip.webm");
      await page.reload();
      await rowOf(page, "file10.txt").waitFor();
      assert.deepEqual(await names(page), bySize, "the order chosen is not remembered");
      await page.locator("th", { hasText: "Size" }).press("Enter");
      assert.equal((await names(page)).at(3), "clip.webm", "a second choice does not reverse");
      await page.locator("th", { hasText: "Name" }).click();
      assert.deepEqual(await names(page), byName);

      for (const name of ["page.html", "logo.svg"]) {
        assert.equal(await rowOf(page, name).getByTitle("View this file").count(), 0, name);
      }
      await viewPhoto(page, rowOf(page, "photo.png"), "View this file", false);

      const ranged = [];
      page.on("response", (res) => {
        const range = res.request().headers().range;
        if (res.url().includes("clip.webm") && range) ranged.push({ range, status: res.status() });
      });
      await rowOf(page, "clip.webm").getByTitle("View this file").click();
      const video = page.locator("#viewerStage video");
      await waitUntil("the video's length", () => video.evaluate((v) => v.readyState >= 1 && v.duration > 19));
      await video.evaluate((v) => { v.muted = true; return v.play(); });
      await waitUntil("the video playing", () => video.evaluate((v) => v.currentTime > 0));
      await video.evaluate((v) => { v.currentTime = v.duration / 2; });
      await waitUntil("the seek done", () => video.evaluate((v) => !v.seeking && v.currentTime >= 10));
      const middle = ranged.filter((r) => /^bytes=[1-9][0-9]*-/.test(r.range));
      assert.ok(middle.length > 0, `no range request past the start: ${JSON.stringify(ranged)}`);
      assert.ok(middle.every((r) => r.status === 206), JSON.stringify(middle));
      await page.locator("#viewerClose").click();

      // Asked for inline anyway, the HTML file is only downloaded.
      const other = await openPage(context);
      const [download] = await Promise.all([
        other.waitForEvent("download"),
        other.goto(program.origin + "/download?path=page.html&view=1").catch(() => null),
      ]);
      assert.equal(download.suggestedFilename(), "page.html");
      await other.waitForTimeout(300);
      assert.deepEqual([...page.dialogs, ...other.dialogs], []);
      assertClean(page);
      await context.close();
    });

    test("phone: the view fills the screen and one tap closes it; names get the room", async () => {
      const context = await newContext(browser, program, PHONE);
      const page = await openPage(context);
      await login(page, program);
      await rowOf(page, "photo.png").waitFor();
      assert.equal(await page.locator("th.typeh").isVisible(), false, "the type column shows on a phone");
      await page.getByRole("link", { name: "media", exact: true }).tap();
      const nameWidth = (await rowOf(page, LONG).locator("td.name").boundingBox()).width;
      assert.ok(nameWidth >= 150, `the name column is ${nameWidth} px wide`);
      await viewPhoto(page, rowOf(page, "photo.png"), "View this file", true);

      const answer = await (await page.request.get(program.origin + "/api/share?path=media")).json();
      const stranger = await newContext(browser, program, PHONE);
      const shared = await openPage(stranger, program.origin + answer.path);
      await rowOf(shared, "photo.png").waitFor();
      await viewPhoto(shared, rowOf(shared, "photo.png"), "View", true);
      assertClean(page);
      assertClean(shared);
      await stranger.close();
      await context.close();
    });
  });
}
