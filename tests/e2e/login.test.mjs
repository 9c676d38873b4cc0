// The login page of both programs: the served bytes, the 6-digit check,
// the server's answers for wrong PINs and for a banned address.
import assert from "node:assert/strict";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  FLAVOURS, assertClean, launchBrowser, login, newContext, openPage, pageBytes, screenshot, startProgram,
} from "./harness.mjs";

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

for (const flavour of FLAVOURS) {
  const word = flavour === "vantrel-https" ? "HTTPS" : "HTTP";
  const folder = flavour === "vantrel-https" ? "https" : "http";

  describe(`${flavour} login page`, () => {
    let program;
    before(async () => { program = await startProgram(flavour); });
    after(async () => { await program?.stop(); });

    test("serves the page files byte for byte", async () => {
      const context = await newContext(browser, program);
      const page = await openPage(context);
      const loginBytes = await (await page.request.get(program.origin + "/")).body();
      assert.ok(loginBytes.equals(pageBytes(path.join(folder, "login.html"))), "login page differs from its file");
      await login(page, program);
      const managerBytes = await (await page.request.get(program.origin + "/")).body();
      assert.ok(managerBytes.equals(pageBytes(path.join(folder, "file_manager.html"))),
        "file manager page differs from its file");
      await context.close();
    });

    test("checks the code, shows the server's refusals and bans after three wrong PINs", async () => {
      const context = await newContext(browser, program);
      const page = await openPage(context, program.origin + "/");
      assert.equal(await page.title(), `${word} Vantrel PRO - Login`);
      assert.equal(await page.locator("h1").textContent(), `${word} Vantrel PRO`);
      assert.equal(await page.getAttribute("#code", "placeholder"), "6 digits");
      assert.equal(await page.getAttribute("#code", "type"), "password");
      assert.equal(await page.getAttribute("#code", "inputmode"), "numeric");
      await screenshot(page, `${flavour}-login-desktop.png`);

      const posts = [];
      page.on("request", (r) => { if (r.url().endsWith("/api/login")) posts.push(r.postData()); });
      const msg = page.locator("#msg");
      const loginButton = page.getByRole("button", { name: "Login" });

      for (const bad of ["12345", "12a456"]) {
        await page.fill("#code", bad);
        await loginButton.click();
        assert.equal(await msg.textContent(), "Enter 6 digits.");
      }
      // Enter alone never submits.
      await page.fill("#code", "000000");
      await page.press("#code", "Enter");
      await page.waitForTimeout(300);
      assert.equal(posts.length, 0, "nothing may be sent before the button is pressed with six digits");

      const wrong = program.pin === "000000" ? "000001" : "000000";
      // Pasted text may carry blanks that the field's length limit does not stop.
      await page.locator("#code").evaluate((el, v) => { el.value = v; }, ` ${wrong} `);
      await loginButton.click();
      await page.waitForFunction(() => document.getElementById("msg").textContent !== "");
      assert.equal(await msg.textContent(), "Wrong code");
      assert.deepEqual(JSON.parse(posts[0]), { code: wrong }, "the code is sent trimmed");

      await page.fill("#code", wrong);
      await loginButton.click();
      await page.waitForFunction(() => document.getElementById("msg").textContent !== "");
      assert.equal(await msg.textContent(), "Wrong code");

      await page.fill("#code", wrong);
      await loginButton.click();
      await page.waitForFunction(() => document.getElementById("msg").textContent !== "");
      assert.equal(await msg.textContent(), "Too many attempts. IP blocked for 120 seconds.");

      // While banned even the right PIN is refused with the time left.
      await page.fill("#code", program.pin);
      await loginButton.click();
      await page.waitForFunction(() => document.getElementById("msg").textContent !== "");
      assert.match(await msg.textContent(), /^Too many attempts\. IP blocked for (1[0-2][0-9]|[0-9]{1,2}) seconds\.$/);
      assert.equal(await page.title(), `${word} Vantrel PRO - Login`);
      assertClean(page);
      await context.close();
    });
  });
}
