// Types of qexseal.js (window.QexSeal, require("qexseal"), import "qexseal").

/** The client's answer to a seal, as it sent it (all values are strings). */
export interface SealReply {
  /** URL of the seal image. */
  IMGURL: string;
  /** The key's RSA signature (Base64) over the digest of PLAIN in code page 936. */
  SIGNVAL: string;
  /** Base64 digest of the key's certificate: the key's identity. */
  UID: string;
  TIME: string;
  /** The unit the seal belongs to. */
  USER: string;
  SEALNAME: string;
  STATUS: "0";
  /** The signed text: encodeURIComponent(text) + "QEXDATAEND" (see the README). */
  PLAIN: string;
  /** URL of the handwritten signature, or "". */
  HWIMGURL: string;
}

/** A refusal ("1") or a wait for the handwriting ("2"). */
export interface StatusReply {
  STATUS: "1" | "2";
  ERR: string;
}

export interface SignOptions {
  /** The unit the seal must belong to; an empty string never matches. */
  unit?: string;
  /** The client's port on 127.0.0.1 (10102). */
  port?: number;
  /** Ceiling for each request, in ms (30000). */
  timeoutMs?: number;
  /** How long to wait for a handwritten signature, in ms (300000). */
  waitMs?: number;
  /** Pause between the questions while waiting, in ms (2000). */
  pollMs?: number;
  /** Called each time the client answers that it waits for the handwriting. */
  onWaiting?: (reply: StatusReply) => void;
  /** Aborting rejects with ABORTED (a seal the client already makes is not undone). */
  signal?: AbortSignal;
}

export type QexSealErrorCode =
  | "NOT_RUNNING"
  | "TIMEOUT"
  | "REFUSED"
  | "WAIT_TIMEOUT"
  | "ABORTED"
  | "TOO_LONG"
  | "BAD_REPLY";

export declare class QexSealError extends Error {
  constructor(code: QexSealErrorCode, message?: string, reply?: unknown);
  readonly name: "QexSealError";
  readonly code: QexSealErrorCode;
  /**
   * REFUSED and WAIT_TIMEOUT: the client's last answer (a StatusReply);
   * BAD_REPLY: whatever came, if anything.
   */
  readonly reply?: unknown;
}

export declare function sign(text: string, options?: SignOptions): Promise<SealReply>;
export declare const version: string;

declare const QexSeal: {
  version: string;
  sign: typeof sign;
  QexSealError: typeof QexSealError;
};
export default QexSeal;

declare global {
  interface Window {
    QexSeal: typeof QexSeal;
  }
}
