// What QexSeal.sign puts on the wire: the request URL and the length rule.
"use strict";

const assert = require("node:assert/strict");
const { describe, test } = require("node:test");
const { makePage, parse, success, state } = require("./fake_page.js");

describe("the request", () => {
  test("carries the encoded text and unit with their markers, then a cache-buster", async () => {
    const page = makePage();
    const text = "\u540c\u610f a&b=c/#%";
    const unit = "\u6d4b\u8bd5\u5355\u4f4d";
    const sealed = page.QexSeal.sign(text, { unit, port: 12345 });
    assert.equal(page.scripts.length, 1);
    const script = page.last();
    assert.equal(script.charset, "gbk");
    // The page's origin, and no more of its address, so a client with an
    // origin gate can tell the page.
    assert.equal(script.referrerPolicy, "origin");
    const r = parse(script.src);
    assert.equal(r.port, 12345);
    assert.equal(r.data, encodeURIComponent(text));
    assert.equal(r.user, encodeURIComponent(unit));
    page.reply(script, success(r.data));
    const s = await state(sealed);
    assert.equal(s.state, "resolved");
    assert.equal(s.value.PLAIN, encodeURIComponent(text) + "QEXDATAEND");
  });

  test("without a unit has no &user=; an empty unit is sent, so the client refuses it", () => {
    const page = makePage();
    page.QexSeal.sign("x");
    assert.equal(parse(page.last().src).user, undefined);
    assert.equal(parse(page.last().src).port, 10102);
    const other = makePage();
    other.QexSeal.sign("x", { unit: "" });
    assert.equal(parse(other.last().src).user, "");
  });

  test("sends what PLAIN will echo even where browsers or the markers would change it", async () => {
    const page = makePage();
    // Browsers escape "'" in a query themselves; a marker in the text would
    // end the data early.
    const text = "it's QEXDATAEND!";
    const sealed = page.QexSeal.sign(text, { unit: "o'QEXDATAEND" });
    const r = parse(page.last().src);
    assert.ok(!r.query.includes("'"), r.query);
    assert.equal(r.query.split("QEXDATAEND").length, 3, r.query);
    assert.equal(decodeURIComponent(r.data), text);
    assert.equal(decodeURIComponent(r.user), "o'QEXDATAEND");
    page.reply(page.last(), success(r.data));
    const s = await state(sealed);
    assert.equal(s.state, "resolved");
    assert.equal(decodeURIComponent(s.value.PLAIN.slice(0, -"QEXDATAEND".length)), text);
  });

  test("of every try has its own cache-buster of the same width", async () => {
    const page = makePage();
    page.QexSeal.sign("a", { pollMs: 1000 });
    const first = parse(page.last().src);
    page.reply(page.last(), { STATUS: "2", ERR: "wait" });
    await state(Promise.resolve());
    page.clock.advance(1000);
    const second = parse(page.last().src);
    assert.notEqual(first.buster, second.buster);
    assert.equal(first.requestLine.length, second.requestLine.length);
  });
});

describe("the 500-byte rule", () => {
  // The request line a browser sends for `piece` repeated n times, or null
  // when nothing was sent; and the call's promise.
  function tryText(piece, n, options) {
    const page = makePage();
    const sealed = page.QexSeal.sign(piece.repeat(n), options);
    sealed.catch(() => {});
    return { sealed, line: page.scripts.length ? parse(page.last().src).requestLine : null };
  }

  test("a request line of exactly 500 bytes is sent; one byte more is refused, unsent", async () => {
    for (const options of [{}, { unit: "\u6d4b\u8bd5\u5355\u4f4d" }]) {
      const room = 500 - tryText("a", 0, options).line.length;
      assert.equal(tryText("a", room, options).line.length, 500);
      const over = tryText("a", room + 1, options);
      assert.equal(over.line, null, "nothing may be sent");
      const s = await state(over.sealed);
      assert.equal(s.state, "rejected");
      assert.equal(s.error.code, "TOO_LONG");
    }
  });

  test("counts the bytes sent, not the characters of the text", () => {
    // A Chinese character is nine bytes of query (three escaped UTF-8 bytes).
    const room = 500 - tryText("a", 0).line.length;
    const most = Math.floor(room / 9);
    assert.ok(tryText("\u6d4b", most).line);
    assert.equal(tryText("\u6d4b", most + 1).line, null);
  });
});
