// One request at a time through the one global sealInfoHandler: the queue,
// the page's own handler, and replies that come too late.
"use strict";

const assert = require("node:assert/strict");
const { describe, test } = require("node:test");
const { makePage, parse, success, state, flush } = require("./fake_page.js");

describe("the queue", () => {
  test("two calls started together are sent one after the other and each gets its own reply", async () => {
    const page = makePage();
    const a = page.QexSeal.sign("first");
    const b = page.QexSeal.sign("second");
    assert.equal(page.scripts.length, 1, "the second waits for the first");
    assert.equal(parse(page.scripts[0].src).data, "first");
    page.reply(page.scripts[0], success("first"));
    assert.equal(page.scripts.length, 2);
    assert.equal(parse(page.scripts[1].src).data, "second");
    page.reply(page.scripts[1], success("second"));
    assert.equal((await a).PLAIN, "firstQEXDATAEND");
    assert.equal((await b).PLAIN, "secondQEXDATAEND");
  });

  test("a failed call does not hold up the next", async () => {
    const page = makePage();
    const a = page.QexSeal.sign("a");
    const b = page.QexSeal.sign("b");
    page.refuse(page.scripts[0]);
    assert.equal((await state(a)).error.code, "NOT_RUNNING");
    page.reply(page.scripts[1], success("b"));
    assert.equal((await state(b)).state, "resolved");
  });

  test("a late reply of a call that timed out resolves nothing, the next call gets its own", async () => {
    const page = makePage();
    const a = page.QexSeal.sign("a", { timeoutMs: 1000 });
    const b = page.QexSeal.sign("b");
    page.clock.advance(1000);
    assert.equal((await state(a)).error.code, "TIMEOUT");
    assert.equal(page.scripts.length, 2, "the next call goes ahead");
    // Failure replies carry no PLAIN to tell them apart: only the script
    // that brings them does.
    page.reply(page.scripts[0], { STATUS: "1", ERR: "late" });
    page.reply(page.scripts[0], success("b"));
    assert.equal((await state(b)).state, "pending");
    page.reply(page.scripts[1], success("b"));
    assert.equal((await state(b)).value.PLAIN, "bQEXDATAEND");
  });

  test("without currentScript a seal over another text is still not taken for this call", async () => {
    const page = makePage({ withCurrentScript: false });
    const a = page.QexSeal.sign("a");
    page.reply(page.scripts[0], success("something else"));
    const s = await state(a);
    assert.equal(s.error.code, "BAD_REPLY");
    assert.equal(s.error.reply.PLAIN, "something elseQEXDATAEND");
  });
});

describe("the page's own sealInfoHandler", () => {
  test("is put back after each request and meanwhile gets the replies to the page's own scripts", async () => {
    const page = makePage();
    page.run("var seen = []; function sealInfoHandler(r) { seen.push(r.STATUS); }");
    const own = page.context.sealInfoHandler;
    const sealed = page.QexSeal.sign("a", { pollMs: 10 });
    assert.notEqual(page.context.sealInfoHandler, own);
    page.execute({ tagName: "SCRIPT" }, 'sealInfoHandler({"STATUS":"own"});');
    assert.equal(page.run("seen.join()"), "own");

    page.reply(page.last(), { STATUS: "2", ERR: "wait" });
    await flush();
    assert.equal(page.context.sealInfoHandler, own, "back while waiting between tries");
    page.clock.advance(10);
    // The promise settles before the script's load event: the handler must be back by then.
    page.execute(page.last(), "sealInfoHandler(" + JSON.stringify(success("a")) + ");");
    await sealed;
    assert.equal(page.context.sealInfoHandler, own);
    assert.equal(page.run("seen.join()"), "own", "none of our replies reached the page");
  });

  test("stays away while a timed-out request may still answer, and none is left behind", async () => {
    const page = makePage();
    const a = page.QexSeal.sign("a", { timeoutMs: 1000 });
    page.clock.advance(1000);
    await state(a);
    assert.equal(typeof page.context.sealInfoHandler, "function", "a late reply must find a handler");
    page.reply(page.scripts[0], success("a"));
    assert.equal("sealInfoHandler" in page.context, false);
  });

  test("set by the page during a request is kept", async () => {
    const page = makePage();
    const sealed = page.QexSeal.sign("a");
    const script = page.last();
    page.run("var mine = function () {}; sealInfoHandler = mine;");
    page.refuse(script);
    await state(sealed);
    assert.equal(page.context.sealInfoHandler, page.context.mine);
  });
});
