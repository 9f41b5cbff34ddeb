// The stretches to keep: the in and out marks, the list (each row typed over, removed or jumped
// to), where each will really be cut once snapped to key pictures, the total kept, and the
// commercial finder's proposal, which fills the list.
import { longRead, msText, packetText, packetToMs, parsePosition, query, sizeText } from './api.js';
import { t } from './i18n.js';

const $ = (id) => document.getElementById(id);
const view = $('rec-view');
const snapBox = $('snap');
const rows = $('stretches');

let rec = null;              // the open recording's state (recording.js)
let moveTo = () => {};
let nextId = 1;

// The recording's state and how to move, given once by recording.js.
export function useRecording(state, move) {
  rec = state;
  moveTo = move;
}

const toMs = (packet) => packetToMs(packet, rec.size, rec.totalMs);
const timeAndPacket = (packet) => `${msText(toMs(packet))} (${packetText(packet)})`;
const fraction = (packet) => `${(100 * packet) / Math.max(1, rec.packets)}%`;

// Where a stretch will really be cut: its start back to the key picture at or before it (or
// forward to the first one), its end forward to just before the next key picture.
export function snapped(s) {
  const keys = rec.keys;
  let first = keys.findLast((k) => k <= s.first);
  let note = '';
  if (first === undefined) {
    first = keys.find((k) => k > s.first);
    note = t('movedForward');
  }
  let last = s.last;
  if (s.last < rec.packets - 1) {
    const next = keys.find((k) => k > s.last);
    if (next !== undefined) last = next - 1;
  }
  if (first === undefined || first > last) return { error: t('noKeyPicture') };
  return { first, last, note };
}

// The stretch as it will be cut: snapped when asked and known.
function effective(s) {
  if (!snapBox.checked || !rec.keys) return s;
  const snap = snapped(s);
  return snap.error ? s : snap;
}

export function showMarks() {
  for (const [name, packet] of [['in', rec.inP], ['out', rec.outP]]) {
    const text = $(`${name}-text`);
    text.textContent = packet === null ? t('unset') : timeAndPacket(packet);
    text.dataset.packet = packet === null ? '' : packet;
    const mark = $(`strip-${name}`);
    mark.hidden = packet === null;
    if (packet !== null) mark.style.left = fraction(packet);
  }
  const wrong = rec.inP !== null && rec.outP !== null && rec.outP < rec.inP;
  $('add-note').textContent = wrong ? t('outBeforeIn') : '';
}

export function addStretch() {
  if (rec.inP === null || rec.outP === null) {
    $('add-note').textContent = t('needInOut');
    return;
  }
  if (rec.outP < rec.inP) return;
  rec.stretches.push({ id: nextId++, first: rec.inP, last: rec.outP });
  rec.inP = rec.outP = null;
  showMarks();
  showStretches();
}

function setStretches(list) {
  rec.stretches = list.map((s) => ({ id: nextId++, first: s.first, last: s.last }));
  showStretches();
}

function button(testid, text, label, action) {
  const b = document.createElement('button');
  b.type = 'button';
  b.dataset.testid = testid;
  b.textContent = text;
  b.setAttribute('aria-label', label);
  b.addEventListener('click', action);
  return b;
}

function positionInput(s, which, number) {
  const input = document.createElement('input');
  input.type = 'text';
  input.dataset.testid = `stretch-${which === 'first' ? 'start' : 'end'}`;
  input.value = msText(toMs(s[which]));
  input.title = packetText(s[which]);
  input.setAttribute('aria-label', t(which === 'first' ? 'startOf' : 'endOf', number));
  input.spellcheck = false;
  input.addEventListener('change', () => {
    const packet = parsePosition(input.value, rec.size, rec.totalMs);
    const other = which === 'first' ? s.last : s.first;
    let why = packet === null ? t('badPosition') : '';
    if (!why && (which === 'first' ? packet > other : packet < other)) why = t('endBeforeStart');
    input.setAttribute('aria-invalid', why ? 'true' : 'false');
    $('stretch-note').textContent = why;
    if (why) return;
    s[which] = Math.min(packet, rec.packets);
    showStretches();
  });
  return input;
}

function stretchRow(s, i) {
  const n = i + 1;
  const tr = document.createElement('tr');
  Object.assign(tr.dataset, { testid: 'stretch', index: i, id: s.id, first: s.first, last: s.last });
  const cell = (...children) => {
    const td = document.createElement('td');
    td.append(...children);
    tr.append(td);
    return td;
  };
  cell(String(n));
  cell(positionInput(s, 'first', n));
  cell(positionInput(s, 'last', n));
  const length = cell(msText(toMs(s.last) - toMs(s.first)));
  Object.assign(length.dataset, { testid: 'stretch-length', label: t('length') });
  const snapCell = cell();
  snapCell.className = 'snap-col';
  Object.assign(snapCell.dataset, { testid: 'stretch-snapped', label: t('snapped') });
  if (rec.keys) {
    const snap = snapped(s);
    if (snap.error) {
      snapCell.textContent = snap.error;
      snapCell.classList.add('error-text');
    } else {
      snapCell.textContent = `${msText(toMs(snap.first))} – ${msText(toMs(snap.last))}`;
      snapCell.title = `${packetText(snap.first)}–${packetText(snap.last)} ${snap.note}`;
      Object.assign(snapCell.dataset, { first: snap.first, last: snap.last });
    }
  } else {
    snapCell.textContent = '…';
  }
  cell(button('stretch-go-start', '«', t('goStartLabel', n), () => moveTo(s.first)),
    button('stretch-go-end', '»', t('goEndLabel', n), () => moveTo(s.last)),
    button('stretch-remove', '✕', t('removeLabel', n), () => {
      rec.stretches = rec.stretches.filter((x) => x !== s);
      showStretches();
    })).className = 'actions';
  return tr;
}

// The list, its marks on the strip, overlaps and the total kept; focus stays where it was.
export function showStretches() {
  const focused = rows.contains(document.activeElement) ? document.activeElement : null;
  const focusKey = focused && [focused.closest('tr').dataset.id, focused.dataset.testid];
  rec.stretches.sort((a, b) => a.first - b.first || a.last - b.last);
  rows.replaceChildren(...rec.stretches.map(stretchRow));
  view.classList.toggle('snapping', snapBox.checked);
  const cut = rec.stretches.map(effective);
  $('strip-stretches').replaceChildren(...cut.map((s) => {
    const bar = document.createElement('div');
    bar.className = 'strip-stretch';
    bar.style.left = fraction(s.first);
    bar.style.width = `${(100 * (s.last - s.first + 1)) / Math.max(1, rec.packets)}%`;
    return bar;
  }));
  let note = rec.stretches.length ? '' : t('noStretches');
  for (let i = 1; i < cut.length && !note; ++i) if (cut[i].first <= cut[i - 1].last) note = t('overlap', i, i + 1);
  $('stretch-note').textContent = note;
  const packets = cut.reduce((sum, s) => sum + (s.last - s.first + 1), 0);
  $('total').textContent = packets ? t('total', msText(toMs(packets)), sizeText(packets * 188)) : t('totalNone');
  if (focusKey) {
    const row = rows.querySelector(`tr[data-id="${focusKey[0]}"]`);
    (row?.querySelector(`[data-testid="${focusKey[1]}"]`) ?? rows.querySelector('button') ?? snapBox).focus();
  }
  document.dispatchEvent(new CustomEvent('kerf:stretches'));
}

snapBox.addEventListener('change', showStretches);
$('btn-in').addEventListener('click', () => { rec.inP = rec.pos; showMarks(); });
$('btn-out').addEventListener('click', () => { rec.outP = rec.pos; showMarks(); });
$('btn-add').addEventListener('click', addStretch);
$('btn-cm').addEventListener('click', findCommercials);

// "Find the commercials": the server's finder proposes the programme's stretches without its
// breaks; they replace the list, where they can be changed like any other.
const cmButton = $('btn-cm');
const cmState = $('cm-state');
let missing = false;     // the server has no finder (an older or a smaller build)
let running = null;

// A recording opened: the button where the finder can help.
export function offerCommercials() {
  running?.abort();
  running = null;
  cmButton.hidden = missing || rec.programmes.length === 0;
  cmButton.disabled = false;
  cmState.textContent = '';
}

// The recording is left: its proposal is no longer waited for.
export function dropCommercials() {
  running?.abort();
  running = null;
}

// "START-END" of a proposal as packets; either end may be left out.
function stretchOf(range) {
  const [start, end] = range.split('-');
  const first = start ? parsePosition(start, rec.size, rec.totalMs) : 0;
  const last = end ? parsePosition(end, rec.size, rec.totalMs) : rec.packets - 1;
  return first === null || last === null || last < first ? null : { first, last };
}

async function findCommercials() {
  running?.abort();
  const mine = new AbortController();
  running = mine;
  const path = rec.path;
  cmButton.disabled = true;
  cmState.textContent = t('cmRunning', 0);
  try {
    const answer = await longRead(`/api/cm?${query({ path, programme: rec.programme || 1 })}`,
      (percent) => { cmState.textContent = t('cmRunning', percent ?? 0); }, mine.signal);
    if (mine.signal.aborted || rec.path !== path) return;
    const list = (answer.ranges || []).map(stretchOf).filter(Boolean);
    setStretches(list);
    cmState.textContent = t('cmDone', list.length);
  } catch (e) {
    if (e.name === 'AbortError') return;
    if ([404, 405, 501].includes(e.status)) {
      missing = true;
      cmButton.hidden = true;
    }
    cmState.textContent = t('cmFailed', e.message);
  } finally {
    if (running === mine) cmButton.disabled = false;
  }
}
