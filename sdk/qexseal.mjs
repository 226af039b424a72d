// ES module entry of qexseal.js: the same object as window.QexSeal and
// require("qexseal"). qexseal.js registers its one instance per page (or
// process) under Symbol.for("qexseal") however it was loaded: as a module in
// a browser, as CommonJS in Node or a bundler.
import "./qexseal.js";

const QexSeal = globalThis[Symbol.for("qexseal")];
export default QexSeal;
export const sign = QexSeal.sign;
export const QexSealError = QexSeal.QexSealError;
export const version = QexSeal.version;
