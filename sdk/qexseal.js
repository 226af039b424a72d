/*
 * qexseal.js 1.0.0: seal a text from a web page with the USB key of the
 * QEXTivara client running on the same PC.
 *
 *   QexSeal.sign(text, { unit: "..." }).then(function (reply) { ... });
 *
 * One file without dependencies. As a classic <script> it defines
 * window.QexSeal; require() (CommonJS, bundlers) returns the same object, and
 * qexseal.mjs exports it for import. The file is plain ASCII, so a page in any
 * encoding can include it without a charset attribute.
 */
(function (root, factory) {
  "use strict";
  // One instance per page however often and however it is loaded (a
  // <script> here, a bundle there, qexseal.mjs): the client answers every
  // request with the same global sealInfoHandler, so two copies with two
  // queues would run requests side by side and take each other's replies.
  var key = typeof Symbol === "function" ? Symbol.for("qexseal") : "__qexseal__";
  var api = root[key] || (root[key] = factory(root));
  if (typeof module === "object" && module && module.exports) {
    module.exports = api;
  } else {
    root.QexSeal = api;
  }
})(typeof globalThis !== "undefined" ? globalThis : typeof self !== "undefined" ? self : this, function (root) {
  "use strict";

  var VERSION = "1.0.0";
  var MARKER = "QEXDATAEND";
  var HANDLER = "sealInfoHandler";
  // The client takes one receive of at most 500 bytes and looks for its
  // markers there alone. A browser sends the request line first and its
  // headers after it, so the whole request line must fit, end of line
  // included; a longer one would be cut, never refused, by the client.
  var REQUEST_LIMIT = 500;
  var LINE_START = "GET /";
  var LINE_END = " HTTP/1.1\r\n";
  // "&_=" and 12 characters: of fixed width, so whether a text fits does not
  // depend on the clock, and the same for every try of a handwriting wait.
  var BUSTER_LENGTH = 15;
  var DEFAULTS = { port: 10102, timeoutMs: 30000, waitMs: 300000, pollMs: 2000 };

  var MESSAGES = {
    NOT_RUNNING: "\u65e0\u6cd5\u8fde\u63a5\u7b7e\u7ae0\u5ba2\u6237\u7aef\uff0c\u8bf7\u786e\u8ba4\u5ba2\u6237\u7aef\u5df2\u542f\u52a8",
    TIMEOUT: "\u7b7e\u7ae0\u5ba2\u6237\u7aef\u65e0\u54cd\u5e94\uff0c\u8bf7\u7a0d\u540e\u91cd\u8bd5",
    WAIT_TIMEOUT: "\u7b49\u5f85\u624b\u5199\u7b7e\u540d\u8d85\u65f6\uff0c\u8bf7\u91cd\u65b0\u7b7e\u7ae0",
    ABORTED: "\u7b7e\u7ae0\u5df2\u53d6\u6d88",
    TOO_LONG: "\u7b7e\u7ae0\u5185\u5bb9\u8fc7\u957f\uff0c\u8bf7\u7f29\u77ed\u5185\u5bb9\u6216\u5355\u4f4d\u540d\u79f0",
    BAD_REPLY: "\u7b7e\u7ae0\u5ba2\u6237\u7aef\u8fd4\u56de\u7684\u6570\u636e\u65e0\u6548"
  };

  function QexSealError(code, message, reply) {
    if (!(this instanceof QexSealError)) return new QexSealError(code, message, reply);
    this.name = "QexSealError";
    this.code = code;
    this.message = message === undefined ? MESSAGES[code] || code : String(message);
    if (reply !== undefined) this.reply = reply;
    var stack = new Error(this.message).stack;
    if (stack) this.stack = stack;
  }
  QexSealError.prototype = Object.create(Error.prototype, {
    constructor: { value: QexSealError, writable: true, configurable: true }
  });

  // What the client receives must be exactly what it echoes in PLAIN. Browsers
  // escape "'" in a query on their own, so it is escaped here already; and a
  // "Q" written as %51 keeps a marker inside the text from ending the data
  // early. decodeURIComponent gives the text back either way.
  function encode(text) {
    return encodeURIComponent(text).replace(/'/g, "%27").replace(/QEXDATAEND/g, "%51EXDATAEND");
  }

  function dataQuery(text, unit) {
    var query = "?data=" + encode(text) + MARKER;
    if (unit !== undefined && unit !== null) query += "&user=" + encode(unit) + MARKER;
    return query;
  }

  // The query is ASCII by now: characters are bytes.
  function requestLineLength(query) {
    return LINE_START.length + query.length + BUSTER_LENGTH + LINE_END.length;
  }

  var sequence = 0;
  function cacheBuster() {
    var time = ("000000000" + Date.now().toString(36)).slice(-9);
    var count = ("000" + (sequence++ % 46656).toString(36)).slice(-3);
    return "&_=" + time + count;
  }

  // --- the global reply handler -------------------------------------------

  // Script elements of ours that have neither loaded nor failed yet. A
  // request that gave up (time-out, abort) stays here until its script
  // settles, so that a late reply is still recognised as ours and dropped.
  var inFlight = [];
  var installed = false;
  var pageHandler;
  var pageHadHandler = false;

  function requestFor(script) {
    for (var i = 0; i < inFlight.length; i++) {
      if (inFlight[i].script === script) return inFlight[i];
    }
    return null;
  }

  // Each reply is told apart by the script element that delivers it: a late
  // reply of a request that timed out must not resolve the next one, and a
  // page's own JSONP request still reaches the page's own handler.
  function dispatch(reply) {
    var doc = root.document;
    var request = null;
    if (doc && "currentScript" in doc) {
      request = requestFor(doc.currentScript);
    } else {
      // Without currentScript (old browsers) the newest live request takes it.
      for (var i = inFlight.length - 1; i >= 0 && !request; i--) {
        if (!inFlight[i].done) request = inFlight[i];
      }
    }
    if (!request) {
      if (typeof pageHandler === "function") return pageHandler.apply(this, arguments);
      return undefined;
    }
    request.reply(reply);   // ignored when the request gave up already
    return undefined;
  }

  function installHandler() {
    if (installed) return;
    pageHadHandler = HANDLER in root;
    pageHandler = root[HANDLER];
    root[HANDLER] = dispatch;
    installed = true;
  }

  function restoreHandler() {
    if (!installed || inFlight.length) return;
    installed = false;
    // A page that set a handler of its own meanwhile keeps it.
    if (root[HANDLER] !== dispatch) return;
    if (pageHadHandler) {
      root[HANDLER] = pageHandler;
    } else {
      try {
        delete root[HANDLER];
      } catch (e) {
        root[HANDLER] = undefined;
      }
    }
    pageHandler = undefined;
  }

  // --- one request ----------------------------------------------------------

  // Loads one reply script; exactly one of onReply(reply) and onFail(code)
  // is called, unless the request is given up first with abandon().
  function send(url, timeoutMs, onReply, onFail) {
    var doc = root.document;
    var request = { script: null, done: false };
    var timer = null;

    function end(callback, value) {
      if (request.done) return;
      request.done = true;
      clearTimeout(timer);
      callback(value);
    }
    function detach() {
      var i = inFlight.indexOf(request);
      if (i < 0) return;
      inFlight.splice(i, 1);
      restoreHandler();
    }
    function settle(code) {
      var script = request.script;
      script.onload = script.onerror = null;
      if (script.parentNode) script.parentNode.removeChild(script);
      detach();
      end(onFail, code);
    }

    // The reply is its script's one statement: nothing more comes from that
    // script, and the page has its handler back before the promise settles.
    request.reply = function (reply) {
      detach();
      end(onReply, reply);
    };
    request.abandon = function () {
      request.done = true;
      clearTimeout(timer);
    };

    installHandler();
    var script = doc.createElement("script");
    request.script = script;
    script.charset = "gbk";   // the client answers in code page 936
    script.async = true;
    // The page's origin alone goes with the request: a client with an origin
    // gate needs it, and the rest of the page's address, which may name
    // documents, is none of the client's business.
    script.referrerPolicy = "origin";
    // The reply's script runs before its load event: a load without a reply
    // means whatever answered was not the client.
    script.onload = function () { settle("BAD_REPLY"); };
    script.onerror = function () { settle("NOT_RUNNING"); };
    script.src = url;
    inFlight.push(request);
    timer = setTimeout(function () { end(onFail, "TIMEOUT"); }, timeoutMs);
    (doc.head || doc.documentElement).appendChild(script);
    return request;
  }

  // --- the queue --------------------------------------------------------------

  var queue = [];
  var active = null;

  function pump() {
    if (active || !queue.length) return;
    active = queue.shift();
    attempt(active);
  }

  function finish(job, error, reply) {
    if (job.finished) return;
    job.finished = true;
    clearTimeout(job.pollTimer);
    if (job.request) job.request.abandon();
    if (job.signal) job.signal.removeEventListener("abort", job.onAbort);
    if (active === job) {
      active = null;
    } else {
      var i = queue.indexOf(job);
      if (i >= 0) queue.splice(i, 1);
    }
    if (error) job.reject(error); else job.resolve(reply);
    pump();
  }

  function attempt(job) {
    job.request = send(job.base + job.query + cacheBuster(), job.timeoutMs,
      function (reply) { answered(job, reply); },
      function (code) { finish(job, new QexSealError(code)); });
  }

  function answered(job, reply) {
    job.request = null;
    var status = reply && typeof reply === "object" ? reply.STATUS : undefined;
    if (status === "0") {
      // A seal over any other text is no answer to this request.
      if (reply.PLAIN === job.plain) finish(job, null, reply);
      else finish(job, new QexSealError("BAD_REPLY", undefined, reply));
    } else if (status === "1") {
      finish(job, new QexSealError("REFUSED", reply.ERR === undefined ? "" : reply.ERR, reply));
    } else if (status === "2") {
      waiting(job, reply);
    } else {
      finish(job, new QexSealError("BAD_REPLY", undefined, reply));
    }
  }

  // The client is collecting a handwritten signature and wants to be asked
  // again; the queue stays with this call, so the handwriting goes with its seal.
  function waiting(job, reply) {
    var now = Date.now();
    if (job.waitStart === undefined) job.waitStart = now;
    if (job.onWaiting) {
      try {
        job.onWaiting(reply);
      } catch (e) {
        // The page's callback must not stall the queue; report it as uncaught.
        setTimeout(function () { throw e; }, 0);
      }
      if (job.finished) return;   // aborted from the callback
    }
    var left = job.waitStart + job.waitMs - now;
    if (left <= 0) {
      finish(job, new QexSealError("WAIT_TIMEOUT", undefined, reply));
      return;
    }
    job.pollTimer = setTimeout(function () { attempt(job); }, Math.min(job.pollMs, left));
  }

  // --- the public call --------------------------------------------------------

  function duration(value, name, fallback) {
    if (value === undefined) return fallback;
    if (typeof value !== "number" || !(value > 0) || value === Infinity) {
      throw new TypeError("QexSeal.sign: options." + name + " must be a positive number of milliseconds");
    }
    return value;
  }

  function sign(text, options) {
    return new Promise(function (resolve, reject) {
      var o = options || {};
      if (typeof text !== "string") throw new TypeError("QexSeal.sign: the text must be a string");
      if (o.unit !== undefined && o.unit !== null && typeof o.unit !== "string") {
        throw new TypeError("QexSeal.sign: options.unit must be a string");
      }
      var port = o.port === undefined ? DEFAULTS.port : o.port;
      if (port !== (port | 0) || port < 1 || port > 65535) {
        throw new TypeError("QexSeal.sign: options.port must be a port number");
      }
      if (o.onWaiting !== undefined && typeof o.onWaiting !== "function") {
        throw new TypeError("QexSeal.sign: options.onWaiting must be a function");
      }
      var job = {
        base: "http://127.0.0.1:" + port + "/",
        query: dataQuery(text, o.unit),
        plain: encode(text) + MARKER,
        timeoutMs: duration(o.timeoutMs, "timeoutMs", DEFAULTS.timeoutMs),
        waitMs: duration(o.waitMs, "waitMs", DEFAULTS.waitMs),
        pollMs: duration(o.pollMs, "pollMs", DEFAULTS.pollMs),
        onWaiting: o.onWaiting,
        signal: o.signal,
        resolve: resolve,
        reject: reject,
        finished: false,
        request: null,
        pollTimer: null,
        waitStart: undefined
      };
      if (!root.document) throw new TypeError("QexSeal.sign needs a web page to run in");
      if (requestLineLength(job.query) > REQUEST_LIMIT) throw new QexSealError("TOO_LONG");
      if (job.signal) {
        if (job.signal.aborted) throw new QexSealError("ABORTED");
        job.onAbort = function () { finish(job, new QexSealError("ABORTED")); };
        job.signal.addEventListener("abort", job.onAbort);
      }
      queue.push(job);
      pump();
    });
  }

  return { version: VERSION, sign: sign, QexSealError: QexSealError };
});
