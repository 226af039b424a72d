// One file for every way a page gets the library, and one instance per page.
"use strict";

const assert = require("node:assert/strict");
const path = require("node:path");
const { test } = require("node:test");
const { pathToFileURL } = require("node:url");
const { makePage, LIBRARY, SOURCE } = require("./fake_page.js");

test("a second copy loaded into the same page shares the first one's queue", () => {
  const page = makePage();
  const first = page.QexSeal;
  page.QexSeal.sign("a");
  page.load();
  assert.equal(page.QexSeal, first);
  page.QexSeal.sign("b");
  assert.equal(page.scripts.length, 1, "the second call waits for the first");
});

test("require() and import give the same object, whose errors are Errors", async () => {
  const required = require(LIBRARY);
  const imported = await import(pathToFileURL(path.join(path.dirname(LIBRARY), "qexseal.mjs")).href);
  assert.equal(imported.default, required);
  assert.equal(imported.sign, required.sign);
  assert.equal(typeof required.sign, "function");
  const e = new required.QexSealError("TIMEOUT");
  assert.ok(e instanceof Error && e instanceof required.QexSealError);
  assert.equal(e.code, "TIMEOUT");
  assert.ok(e.message.length > 0);
  // Not in a page: refused, not thrown.
  await assert.rejects(required.sign("a"), TypeError);
});

test("the file is plain ASCII, so pages in GBK or UTF-8 read it alike", () => {
  assert.ok(/^[\x00-\x7f]*$/.test(SOURCE));
});
