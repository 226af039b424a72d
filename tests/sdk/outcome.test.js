// How the client's answers, its silence and the page's abort end a call.
"use strict";

const assert = require("node:assert/strict");
const { describe, test } = require("node:test");
const { makePage, success, state, flush } = require("./fake_page.js");

const WAIT = { STATUS: "2", ERR: "\u7b49\u5f85\u5f55\u5165\u624b\u5199\u7b7e\u540d" };

describe("answers", () => {
  test("a refusal rejects with REFUSED, the client's message and its reply", async () => {
    const page = makePage();
    const sealed = page.QexSeal.sign("a");
    page.reply(page.last(), { STATUS: "1", ERR: "\u8bf7\u5148\u767b\u5f55\u7b7e\u7ae0\u5ba2\u6237\u7aef" });
    const { error } = await state(sealed);
    assert.equal(error.name, "QexSealError");
    assert.equal(error.code, "REFUSED");
    assert.equal(error.message, "\u8bf7\u5148\u767b\u5f55\u7b7e\u7ae0\u5ba2\u6237\u7aef");
    assert.equal(error.reply.STATUS, "1");
  });

  test("no script from the port is NOT_RUNNING, a script without a reply BAD_REPLY, silence TIMEOUT", async () => {
    const page = makePage();
    const calls = [page.QexSeal.sign("a"), page.QexSeal.sign("b"), page.QexSeal.sign("c"),
                   page.QexSeal.sign("d", { timeoutMs: 5000 })];
    for (const c of calls) c.catch(() => {});
    page.refuse(page.scripts[0]);
    page.scripts[1].onload();
    page.reply(page.scripts[2], { STATUS: "9" });
    page.clock.advance(4999);
    assert.equal((await state(calls[3])).state, "pending");
    page.clock.advance(1);
    const codes = [];
    for (const c of calls) codes.push((await state(c)).error.code);
    assert.deepEqual(codes, ["NOT_RUNNING", "BAD_REPLY", "BAD_REPLY", "TIMEOUT"]);
  });
});

describe("waiting for the handwriting", () => {
  test("asks again every pollMs, tells onWaiting each time, and resolves with the seal", async () => {
    const page = makePage();
    const told = [];
    const sealed = page.QexSeal.sign("a", { pollMs: 2000, onWaiting: (r) => told.push(r.ERR) });
    const later = page.QexSeal.sign("b");
    page.reply(page.last(), WAIT);
    page.clock.advance(1999);
    assert.equal(page.scripts.length, 1, "not asked again before pollMs");
    page.clock.advance(1);
    assert.equal(page.scripts.length, 2);
    page.reply(page.last(), WAIT);
    page.clock.advance(2000);
    assert.equal(page.scripts.length, 3, "the other call still waits behind this one");
    page.reply(page.last(), success("a"));
    assert.equal((await sealed).PLAIN, "aQEXDATAEND");
    assert.deepEqual(told, [WAIT.ERR, WAIT.ERR]);
    assert.equal(page.scripts.length, 4);
    page.reply(page.last(), success("b"));
    await later;
  });

  test("gives up with WAIT_TIMEOUT once waitMs have passed since the first wait, asking at the end once more", async () => {
    const page = makePage();
    const sealed = page.QexSeal.sign("a", { pollMs: 2000, waitMs: 5000 });
    // Asked at 0, 2000, 4000 and at the deadline 5000.
    for (const step of [2000, 2000, 1000]) {
      page.reply(page.last(), WAIT);
      page.clock.advance(step);
    }
    assert.equal(page.scripts.length, 4);
    assert.equal((await state(sealed)).state, "pending");
    page.reply(page.last(), WAIT);
    const { error } = await state(sealed);
    assert.equal(error.code, "WAIT_TIMEOUT");
    assert.equal(error.reply.STATUS, "2");
  });

  test("a callback that throws does not stop the waiting", async () => {
    const page = makePage();
    const sealed = page.QexSeal.sign("a", { pollMs: 10, onWaiting: () => { throw new Error("page bug"); } });
    page.reply(page.last(), WAIT);
    // Reported as uncaught, on its own.
    assert.throws(() => page.clock.advance(0), /page bug/);
    page.clock.advance(10);
    page.reply(page.last(), success("a"));
    assert.equal((await state(sealed)).state, "resolved");
  });
});

describe("abort", () => {
  test("ends a call before, while queued, during its request and while waiting", async () => {
    const page = makePage();
    const Abort = page.context.AbortController;
    const already = new Abort();
    already.abort();
    const early = await state(page.QexSeal.sign("a", { signal: already.signal }));
    assert.equal(early.error.code, "ABORTED");
    assert.equal(page.scripts.length, 0, "an aborted call sends nothing");

    const during = new Abort(), queued = new Abort(), waiting = new Abort();
    const a = page.QexSeal.sign("a", { signal: during.signal });
    const b = page.QexSeal.sign("b", { signal: queued.signal });
    const c = page.QexSeal.sign("c", { signal: waiting.signal, pollMs: 1000 });
    for (const p of [a, b, c]) p.catch(() => {});
    queued.abort();
    during.abort();
    assert.equal((await state(a)).error.code, "ABORTED");
    assert.equal((await state(b)).error.code, "ABORTED");
    assert.equal(page.scripts.length, 2, "the aborted queued call is skipped");
    page.reply(page.scripts[0], success("a"));   // the aborted request's late reply
    assert.equal((await state(c)).state, "pending");
    page.reply(page.scripts[1], WAIT);
    await flush();
    waiting.abort();
    page.clock.advance(5000);
    assert.equal((await state(c)).error.code, "ABORTED");
    assert.equal(page.scripts.length, 2, "no more questions after the abort");
  });
});
