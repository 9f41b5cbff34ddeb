// One recording: the programme, the picture at the position, the strip of thumbnails and the
// keys that move; the stretches to keep are stretches.js's.
import {
  ApiError, atText, getBlob, getJson, longRead, msText, msToPacket, packetText, packetToMs, parsePosition, query, report,
  sizeText,
} from './api.js';
import { t } from './i18n.js';
import { leaveList, showCrumbs } from './list.js';
import { resetCut } from './cut.js';
import {
  addStretch, dropCommercials, offerCommercials, showMarks, showStretches, useRecording,
} from './stretches.js';

const $ = (id) => document.getElementById(id);
const view = $('rec-view');
const picture = $('picture');
const pictureNote = $('picture-note');
const strip = $('strip');
const programmeChoice = $('programme');

// What the page knows of the open recording. Positions are packet numbers.
export const rec = {
  path: null, size: 0, packets: 0, totalMs: 0, programme: 0, programmes: [],
  keys: null,          // packets of the key pictures (sequence headers), once scanned
  pos: 0, inP: null, outP: null,
  stretches: [],       // {id, first, last} as asked, in the order of the recording
};

useRecording(rec, moveTo);

let opened = 0;              // which recording the answers belong to
let controller = null;       // aborts the open recording's requests when it is left
// Milliseconds from each move to its picture on screen, and whether the page held it already.
const timings = [];
const timingsHeld = [];
window.kerfTimings = timings;
window.kerfTimingsHeld = timingsHeld;

const toMs = (packet) => packetToMs(packet, rec.size, rec.totalMs);
const fraction = (packet) => `${(100 * packet) / Math.max(1, rec.packets)}%`;

// The picture follows the position: one request at a time, always for the newest position;
// an answer that a newer move has made stale is dropped (unless nothing was shown for a while,
// so that holding a key still shows where it passes).
let wanted = null;
let busy = false;
let shownAt = 0;
let seq = 0;
let pictureWidth = 640;

function frameUrl(packet) {
  return `/api/frame?${query({ path: rec.path, at: atText(packet), programme: rec.programme, width: pictureWidth })}`;
}

// The picture at a position is the first of the sequence at or after it: once the key pictures
// are known, every position of one sequence asks for the same picture, which the page keeps (the
// last few dozen), so moving within a sequence or back to where one was shows it at once.
const kept = new Map();
const keptMax = 48;

function keyAtOrAfter(packet) {
  const keys = rec.keys;
  if (!keys) return packet;
  let lo = 0;
  let hi = keys.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (keys[mid] < packet) lo = mid + 1;
    else hi = mid;
  }
  return lo < keys.length ? keys[lo] : packet;
}

const keptName = (at) => `${rec.path}\n${rec.programme}\n${at}`;

// Asks for the picture at a key picture (or position) and keeps the answer: a promise of the
// picture, or of the error "no picture there" (kept too, so it is not asked for again).
function askPicture(at, signal) {
  const name = keptName(at);
  const answer = getBlob(frameUrl(at), signal).catch((e) => {
    if (e.status === 422) return e;
    if (kept.get(name) === answer) kept.delete(name);
    throw e;
  });
  kept.set(name, answer);
  if (kept.size > keptMax) kept.delete(kept.keys().next().value);
  return answer;
}

// The picture for a position; held is true when it had been asked for before the move.
async function pictureAt(packet, signal) {
  const at = keyAtOrAfter(packet);
  const name = keptName(at);
  let answer = kept.get(name);
  const held = answer !== undefined;
  if (held) {
    kept.delete(name);   // the most recently used goes last
    kept.set(name, answer);
  } else {
    answer = askPicture(at, signal);
  }
  const blob = await answer;
  if (blob instanceof Error) throw blob;
  return { blob, held };
}

// While nothing is asked, the pictures one step away are fetched ahead (one at a time).
let fetchingAhead = false;
async function fetchAhead(token) {
  if (fetchingAhead || !rec.keys) return;
  fetchingAhead = true;
  const near = [moveTarget(1000), moveTarget(-1000), keyNext(1), keyNext(-1), moveTarget(10000), moveTarget(-10000)];
  for (const packet of near) {
    if (wanted || token !== opened) break;
    if (packet === undefined || kept.has(keptName(keyAtOrAfter(packet)))) continue;
    try {
      await pictureAt(packet, controller.signal);
    } catch (e) {
      if (e.status !== 422) break;   // fetched ahead only: the move itself asks again
    }
  }
  fetchingAhead = false;
}

function showPicture(blob, job) {
  return new Promise((resolve) => {
    const old = picture.src;
    const url = URL.createObjectURL(blob);
    const finish = (ok) => {
      if (old.startsWith('blob:')) URL.revokeObjectURL(old);
      if (!ok) return resolve();
      const newest = !wanted;
      const ms = performance.now() - job.t0;
      if (newest) {
        timings.push(ms);
        timingsHeld.push(job.held);
        if (timings.length > 200) {
          timings.shift();
          timingsHeld.shift();
        }
      }
      shownAt = performance.now();
      picture.classList.remove('stale');
      pictureNote.hidden = true;
      delete picture.dataset.error;
      Object.assign(picture.dataset, { at: atText(job.packet), seq: job.seq, loaded: newest ? '1' : '0' });
      document.dispatchEvent(new CustomEvent('kerf:picture', { detail: { at: picture.dataset.at, seq: job.seq, ms } }));
      resolve();
    };
    picture.onload = () => finish(true);
    picture.onerror = () => finish(false);
    picture.src = url;
  });
}

function showNoPicture(job, error) {
  picture.classList.add('stale');
  pictureNote.hidden = false;
  pictureNote.textContent = error.code === 'no_picture' ? t('noPicture') : t('pictureFailed', error.message);
  Object.assign(picture.dataset, { at: atText(job.packet), seq: job.seq, loaded: '1', error: error.code });
}

async function pump() {
  if (busy || !wanted) return;
  const job = wanted;
  wanted = null;
  busy = true;
  picture.dataset.loaded = '0';
  try {
    const { blob, held } = await pictureAt(job.packet, controller.signal);
    job.held = held;
    if (job.token === opened && (!wanted || performance.now() - shownAt > 250)) await showPicture(blob, job);
  } catch (e) {
    if (e.name !== 'AbortError' && job.token === opened && !wanted && e instanceof ApiError) showNoPicture(job, e);
  } finally {
    busy = false;
    pump();   // the newest position, of this recording or of one opened meanwhile
    if (!busy && job.token === opened) fetchAhead(opened);
  }
}

let remember = null;
function showPosition() {
  const ms = toMs(rec.pos);
  $('pos-time').textContent = msText(ms);
  const packet = $('pos-packet');
  packet.textContent = packetText(rec.pos);
  packet.dataset.packet = rec.pos;
  strip.setAttribute('aria-valuenow', rec.pos);
  strip.setAttribute('aria-valuetext', msText(ms));
  $('strip-pos').style.left = fraction(rec.pos);
  // The address keeps the position, so that reloading the page comes back to it.
  clearTimeout(remember);
  remember = setTimeout(() => {
    if (rec.path) history.replaceState(null, '', `${location.hash.split('?')[0]}?at=${atText(rec.pos)}`);
  }, 500);
}

export function moveTo(packet, t0 = performance.now()) {
  if (!rec.path || rec.packets <= 0) return;
  rec.pos = Math.min(Math.max(0, Math.round(packet)), rec.packets - 1);
  showPosition();
  wanted = { packet: rec.pos, t0, seq: ++seq, token: opened };
  pump();
}

// Where a move by a time would go, and the key picture before or after the position.
function moveTarget(deltaMs) {
  const ms = Math.min(Math.max(0, toMs(rec.pos) + deltaMs), rec.totalMs);
  return Math.min(msToPacket(ms, rec.size, rec.totalMs), rec.packets - 1);
}

function keyNext(direction) {
  const keys = rec.keys;
  return direction > 0 ? keys.find((k) => k > rec.pos) : keys.findLast((k) => k < rec.pos);
}

function moveToKey(direction, t0) {
  if (!rec.keys) {
    $('scan-state').textContent = t('scanNeeded');
    return;
  }
  const next = keyNext(direction);
  if (next !== undefined) moveTo(next, t0);
}

// The strip: thumbnails over the whole recording; a click or drag moves there.
let timelines = 0;
async function loadTimeline(token) {
  const mine = ++timelines;
  const thumbs = $('strip-thumbs');
  thumbs.replaceChildren();
  const count = Math.min(100, Math.max(4, Math.floor(strip.clientWidth / 80)));
  let answer;
  try {
    answer = await getJson(`/api/timeline?${query({ path: rec.path, programme: rec.programme, count, width: 160 })}`,
      controller.signal);
  } catch {
    return;   // the strip works without pictures
  }
  if (token !== opened || mine !== timelines) return;
  for (const p of answer.pictures) {
    const img = document.createElement('img');
    img.className = 'strip-thumb';
    img.alt = '';
    img.draggable = false;
    img.src = p.url;
    img.style.left = `${(100 * Math.floor((p.ms / Math.max(1, answer.totalMs)) * count)) / count}%`;
    img.style.width = `${100 / count}%`;
    thumbs.append(img);
  }
}

function packetAtPointer(event) {
  const box = strip.getBoundingClientRect();
  return ((event.clientX - box.left) / Math.max(1, box.width)) * rec.packets;
}

let dragging = false;
strip.addEventListener('pointerdown', (e) => {
  if (e.button !== 0) return;
  dragging = true;
  strip.setPointerCapture(e.pointerId);
  strip.focus();
  moveTo(packetAtPointer(e), e.timeStamp);
});
strip.addEventListener('pointermove', (e) => {
  if (dragging) moveTo(packetAtPointer(e), e.timeStamp);
});
for (const type of ['pointerup', 'pointercancel']) strip.addEventListener(type, () => { dragging = false; });

// Key pictures of the programme, for , and . and for snapping: a long read of the recording.
let scanning = null;   // aborts the scan of the programme chosen before

async function loadScan(token) {
  scanning?.abort();
  const mine = new AbortController();
  scanning = mine;
  controller.signal.addEventListener('abort', () => mine.abort());
  rec.keys = null;
  view.dataset.scan = 'pending';
  const state = $('scan-state');
  state.textContent = t('scanPending');
  try {
    const answer = await longRead(`/api/scan?${query({ path: rec.path, programme: rec.programme })}`,
      (percent) => { state.textContent = percent === null ? t('scanPending') : t('scanProgress', percent); },
      mine.signal);
    if (token !== opened || mine.signal.aborted) return;
    rec.keys = answer.headers.map((h) => h.packet).sort((a, b) => a - b);
    view.dataset.scan = 'done';
    state.textContent = t('scanDone', rec.keys.length);
  } catch (e) {
    if (e.name === 'AbortError' || token !== opened || mine.signal.aborted) return;
    view.dataset.scan = 'failed';
    state.textContent = t('scanFailed', e.message);
  }
  showStretches();
}

programmeChoice.addEventListener('change', () => {
  rec.programme = Number(programmeChoice.value);
  loadTimeline(opened);
  loadScan(opened);
  moveTo(rec.pos);
});

// The keys, wherever the focus is but in a text field or a list.
document.addEventListener('keydown', (e) => {
  if (!rec.path || e.ctrlKey || e.metaKey || e.altKey) return;
  const target = e.target;
  if (target.matches('input:not([type=checkbox]):not([type=radio]), select, textarea')) return;
  const t0 = e.timeStamp;   // when the key was pressed, on the clock of performance.now()
  const step = e.shiftKey ? 10000 : 1000;
  const keys = {
    ArrowLeft: () => moveTo(moveTarget(-step), t0),
    ArrowRight: () => moveTo(moveTarget(step), t0),
    ',': () => moveToKey(-1, t0),
    '.': () => moveToKey(1, t0),
    Home: () => moveTo(0, t0),
    End: () => moveTo(rec.packets - 1, t0),
    i: () => $('btn-in').click(),
    o: () => $('btn-out').click(),
    a: addStretch,
  };
  const action = keys[e.key.length === 1 ? e.key.toLowerCase() : e.key];
  if (!action) return;
  e.preventDefault();
  action();
});

document.addEventListener('kerf:lang', () => {
  if (!rec.path) return;
  document.title = `${rec.path.split('/').pop()} — KerfCut`;
  showPosition();
  showMarks();
  showStretches();
  programmeChoice.options[0].textContent = t('wholeRecording');
});

function fillProgrammes(programmes) {
  const whole = new Option(t('wholeRecording'), '0');
  // "channel: event", each where the recording names it.
  const named = (p) => [p.serviceName, p.name].filter((name) => name).join(': ') ||
    `service ${p.serviceId.toString(16).toUpperCase().padStart(4, '0')}`;
  programmeChoice.replaceChildren(whole, ...programmes.map((p) => new Option(`${p.ordinal}: ${named(p)}`, String(p.ordinal))));
  rec.programme = programmes.length ? programmes[0].ordinal : 0;
  programmeChoice.value = String(rec.programme);
}

export async function openRecording(path, at) {
  if (rec.path === path) {
    const start = at ? parsePosition(at, rec.size, rec.totalMs) : null;
    if (start !== null && start !== rec.pos) moveTo(start);
    return;
  }
  closeRecording();
  leaveList();
  const token = opened;
  controller = new AbortController();
  Object.assign(rec, { path, size: 0, packets: 0, totalMs: 0, keys: null, pos: 0, inP: null, outP: null });
  rec.stretches = [];
  view.dataset.ready = '0';
  showCrumbs(path);
  $('rec-title').textContent = path;
  $('rec-title').title = path;
  document.title = `${path.split('/').pop()} — KerfCut`;
  picture.removeAttribute('src');
  picture.dataset.loaded = '0';
  delete picture.dataset.at;
  $('strip-thumbs').replaceChildren();
  resetCut(rec);
  const box = picture.parentElement.clientWidth * (window.devicePixelRatio || 1);
  pictureWidth = Math.min(960, Math.max(320, Math.ceil(box / 160) * 160));
  // The first picture is asked for at once, of the first programme (the usual choice), while the
  // recording's information comes; most often it is the one shown then.
  rec.programme = 1;
  const early = !at ? 0 : /^p:[0-9a-f]{1,8}$/i.test(at) ? parseInt(at.slice(2), 16) : null;
  if (early !== null) askPicture(early, controller.signal).catch(() => {});
  let info;
  try {
    info = await getJson(`/api/info?${query({ path })}`, controller.signal);
  } catch (e) {
    if (e.name === 'AbortError' || token !== opened) return;
    if (e.status === 422) report(t('unreadable', e.message));
    else if (e.status !== 401) report(t('error', e.message));
    return;
  }
  if (token !== opened) return;
  Object.assign(rec, { size: info.size, packets: info.packets, totalMs: info.totalMs, programmes: info.programmes });
  fillProgrammes(info.programmes);
  if (!info.measured) report(t('unreadable', info.programmes.length ? t('noTime') : t('noTimeNoProgrammes')));
  strip.setAttribute('aria-valuemax', Math.max(0, rec.packets - 1));
  moveTo((at && parsePosition(at, rec.size, rec.totalMs)) || 0);
  view.dataset.ready = '1';
  // The strip takes the focus: the keys move at once, and Tab goes on to the marks.
  if (!view.contains(document.activeElement)) strip.focus({ preventScroll: true });
  showMarks();
  showStretches();
  loadTimeline(token);
  loadScan(token);
  offerCommercials();
}

export function closeRecording() {
  controller?.abort();
  dropCommercials();
  controller = null;
  ++opened;
  wanted = null;
  rec.path = null;
}
