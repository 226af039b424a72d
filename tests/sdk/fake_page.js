// A page for sdk/qexseal.js without a browser: the library runs as a classic
// script in a vm context whose document records the script elements it adds
// (the test plays the client and answers them) and whose clock moves only
// when the test says so.
"use strict";

const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const LIBRARY = path.join(__dirname, "..", "..", "sdk", "qexseal.js");
const SOURCE = fs.readFileSync(LIBRARY, "utf8");

function fakeClock() {
  let now = 1700000000000;
  let nextId = 1;
  const timers = new Map();
  return {
    now: () => now,
    setTimeout(fn, ms) {
      const id = nextId++;
      timers.set(id, { at: now + Math.max(0, ms || 0), fn });
      return id;
    },
    clearTimeout(id) {
      timers.delete(id);
    },
    // Runs the timers due within `ms`, in order of their time.
    advance(ms) {
      const end = now + ms;
      for (;;) {
        let due = null;
        for (const [id, t] of timers) {
          if (t.at <= end && (!due || t.at < due[1].at)) due = [id, t];
        }
        if (!due) break;
        timers.delete(due[0]);
        now = due[1].at;
        due[1].fn();
      }
      now = end;
    },
  };
}

class FakeScript {
  constructor() {
    this.tagName = "SCRIPT";
    this.parentNode = null;
    this.onload = null;
    this.onerror = null;
  }
}

function makePage({ withCurrentScript = true } = {}) {
  const clock = fakeClock();
  const scripts = [];
  const head = {
    appendChild(el) {
      el.parentNode = head;
      scripts.push(el);
      return el;
    },
    removeChild(el) {
      el.parentNode = null;
      return el;
    },
  };
  const document = { head, documentElement: head, createElement: () => new FakeScript() };
  if (withCurrentScript) document.currentScript = null;
  const sandbox = {
    document,
    setTimeout: clock.setTimeout,
    clearTimeout: clock.clearTimeout,
    Date: { now: clock.now },
    AbortController,
    console,
  };
  sandbox.window = sandbox;
  const context = vm.createContext(sandbox);
  const page = {
    context,
    clock,
    scripts,
    get QexSeal() {
      return context.QexSeal;
    },
    // Runs code of the page itself.
    run: (code) => vm.runInContext(code, context),
    load() {
      vm.runInContext(SOURCE, context, { filename: LIBRARY });
      return page;
    },
    // The client's answer to `script`: its JSONP body runs as that script,
    // then the script's load event fires.
    reply(script, object) {
      page.execute(script, "sealInfoHandler(" + JSON.stringify(object) + ");");
      if (script.onload) script.onload();
    },
    execute(script, body) {
      if (withCurrentScript) document.currentScript = script;
      try {
        vm.runInContext(body, context);
      } finally {
        if (withCurrentScript) document.currentScript = null;
      }
    },
    // No client on the port: the script fails to load.
    refuse(script) {
      if (script.onerror) script.onerror();
    },
    last: () => scripts[scripts.length - 1],
  };
  return page.load();
}

// The parts of a request URL the library built.
function parse(src) {
  const m = /^http:\/\/127\.0\.0\.1:(\d+)\/(\?data=(.*?)QEXDATAEND(?:&user=(.*?)QEXDATAEND)?)&_=(.*)$/.exec(src);
  if (!m) throw new Error("not a sign request: " + src);
  return { port: Number(m[1]), query: m[2], data: m[3], user: m[4], buster: m[5],
           requestLine: "GET /" + m[2] + "&_=" + m[5] + " HTTP/1.1\r\n" };
}

const success = (data) => ({
  IMGURL: "http://127.0.0.1:9/seal.png", SIGNVAL: "c2ln", UID: "dWlk", TIME: "2026-01-01 10:00:00",
  USER: "\u6d4b\u8bd5\u5355\u4f4d", SEALNAME: "\u6d4b\u8bd5\u7ae0", STATUS: "0", PLAIN: data + "QEXDATAEND",
  HWIMGURL: "",
});

// Lets promise reactions run (the vm context shares this process's microtasks).
const flush = () => new Promise((resolve) => setImmediate(resolve));

async function state(promise) {
  let result = { state: "pending" };
  promise.then((value) => { result = { state: "resolved", value }; },
               (error) => { result = { state: "rejected", error }; });
  await flush();
  return result;
}

module.exports = { makePage, parse, success, flush, state, LIBRARY, SOURCE };
