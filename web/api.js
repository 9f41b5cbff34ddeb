// Talking to kerf serve: requests whose failures say what a person can do (a lost connection is
// tried again with growing pauses and said in the banner; a missing or old token says how to get
// a new address), and the position texts the window program shows.

export class ApiError extends Error {
  constructor(status, code, message) {
    super(message);
    this.status = status;
    this.code = code;
  }
}

// The page listens to these to show or clear the banner.
function tell(state, detail = {}) {
  document.dispatchEvent(new CustomEvent('kerf:connection', { detail: { state, ...detail } }));
}

// An error of a view that is not about the connection, for the banner.
export function report(message) {
  document.dispatchEvent(new CustomEvent('kerf:error', { detail: { message } }));
}

// The page's own address of a folder or recording: path components encoded one by one.
export function hashOf(kind, path) {
  return `#/${kind}/${path.split('/').map(encodeURIComponent).join('/')}`;
}

export function query(params) {
  return Object.entries(params)
    .filter(([, v]) => v !== undefined && v !== null)
    .map(([k, v]) => `${k}=${encodeURIComponent(v)}`)
    .join('&');
}

function pause(ms, signal) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(resolve, ms);
    signal?.addEventListener('abort', () => {
      clearTimeout(timer);
      reject(new DOMException('aborted', 'AbortError'));
    }, { once: true });
  });
}

async function once(url, options) {
  let response;
  try {
    response = await fetch(url, { credentials: 'same-origin', ...options });
  } catch (e) {
    if (e.name === 'AbortError') throw e;
    throw new ApiError(0, 'offline', String(e.message || e));
  }
  if (response.ok) {
    tell('online');
    return response;
  }
  let body = {};
  try {
    body = await response.json();
  } catch {
    // an answer without our JSON (a proxy's page): its status says enough
  }
  const error = new ApiError(response.status, body.code || 'failed', body.message || response.statusText);
  if (response.status === 401) tell('auth', { code: error.code });
  else tell('online');
  return Promise.reject(error);
}

// A request that reads: tried again while the connection is lost (1, 2, 4 ... 30 s apart).
async function reading(url, signal) {
  for (let delay = 1000; ; delay = Math.min(delay * 2, 30000)) {
    try {
      return await once(url, { signal });
    } catch (e) {
      if (e.code !== 'offline') throw e;
      tell('offline', { retryInMs: delay });
      await pause(delay, signal);
    }
  }
}

export async function getJson(url, signal) {
  return (await reading(url, signal)).json();
}

export async function getBlob(url, signal) {
  return (await reading(url, signal)).blob();
}

// A long read (the scan, the commercial finder): 202 with the per cent done until the answer
// comes; asked again every second (a read nobody asks about any more is stopped by the server).
// When the server runs as many long reads as it takes (503), it is asked again a little later.
export async function longRead(url, onProgress, signal) {
  for (;;) {
    let response;
    try {
      response = await reading(url, signal);
    } catch (e) {
      if (e.code !== 'busy') throw e;
      onProgress(null);
      await pause(3000, signal);
      continue;
    }
    const body = await response.json();
    if (response.status !== 202) return body;
    onProgress(body.percent);
    await pause(1000, signal);
  }
}

// A request that changes something: sent once (a cut must not start twice).
export async function send(method, url, body) {
  const options = { method };
  if (body !== undefined) {
    options.headers = { 'Content-Type': 'application/json' };
    options.body = JSON.stringify(body);
  }
  try {
    return await (await once(url, options)).json();
  } catch (e) {
    if (e.code === 'offline') tell('offline', {});
    throw e;
  }
}

// Position texts as the window program writes and reads them.
const pad = (n, width) => String(n).padStart(width, '0');

export function msText(ms) {
  const t = Math.max(0, Math.trunc(ms));
  return `${pad(Math.min(99, Math.floor(t / 3600000)), 2)}:${pad(Math.floor((t % 3600000) / 60000), 2)}:` +
    `${pad(Math.floor((t % 60000) / 1000), 2)}.${pad(t % 1000, 3)}`;
}

export function packetText(packet) {
  return (packet >>> 0).toString(16).toUpperCase().padStart(8, '0');
}

// The position as the API takes it: the packet in hexadecimal.
export function atText(packet) {
  return `p:${packet.toString(16).toUpperCase()}`;
}

// A time field: up to four numbers (hours, minutes, seconds, milliseconds) between any of
// " :.,", each limited to its range.
export function textToMs(text) {
  const parts = text.split(/[ :.,]+/).filter((p, i) => i > 0 || p !== '');
  const limits = [99, 59, 59, 999];
  const units = [3600000, 60000, 1000, 1];
  let ms = 0;
  for (let i = 0; i < 4 && i < parts.length && parts[i] !== ''; ++i) {
    const n = parseInt(parts[i], 10);
    ms += Math.min(limits[i], Math.max(0, Number.isNaN(n) ? 0 : n)) * units[i];
  }
  return ms;
}

// Conversions by proportion through the file size and the total time.
export function packetToMs(packet, size, totalMs) {
  return size < 1 ? 0 : Math.trunc((packet * 188) / size * totalMs + 0.5);
}

export function msToPacket(ms, size, totalMs) {
  return totalMs <= 0 || size < 1 ? 0 : Math.trunc(ms / totalMs * size / 188 + 0.5);
}

// A typed position: p:HEX is a packet, a text of digits and separators a time; null otherwise.
export function parsePosition(text, size, totalMs) {
  const s = text.trim();
  const packet = /^p:([0-9a-f]{1,8})$/i.exec(s);
  if (packet) return parseInt(packet[1], 16);
  if (/^[0-9 :.,]+$/.test(s) && /[0-9]/.test(s)) return msToPacket(textToMs(s), size, totalMs);
  return null;
}

export function sizeText(bytes) {
  if (bytes >= 1e9) return `${(bytes / 1e9).toFixed(2)} GB`;
  if (bytes >= 1e6) return `${(bytes / 1e6).toFixed(1)} MB`;
  return `${Math.round(bytes / 1e3)} kB`;
}
