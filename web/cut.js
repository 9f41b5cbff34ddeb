// The cut: the output's name checked as it is typed (what the server would refuse is said before
// the button is pressed), separate or joined files, overwrite only when ticked, the progress from
// the cut's events, a stop button and the outcome.
import { atText, getJson, send, sizeText } from './api.js';
import { t } from './i18n.js';
import { rootNames } from './list.js';

const $ = (id) => document.getElementById(id);
const nameInput = $('out-name');
const nameError = $('out-error');
const joinBox = $('join');
const overwriteBox = $('overwrite');
const cutButton = $('btn-cut');
const stopButton = $('btn-stop');
const progress = $('progress');
const queue = $('queue');
const outcome = $('outcome');
const cutNote = $('cut-note');

let rec = null;          // the recording's state (recording.js)
let edited = false;      // the person typed a name: it is no longer made up
let roots = null;
let job = null;          // {id, events} of the cut being followed

function several() {
  return !joinBox.checked && rec.stretches.length > 1;
}

function madeUpName() {
  const slash = rec.path.lastIndexOf('/');
  const name = rec.path.slice(slash + 1);
  const dot = name.lastIndexOf('.');
  const [base, ext] = dot > 0 ? [name.slice(0, dot), name.slice(dot)] : [name, '.ts'];
  return `${rec.path.slice(0, slash + 1)}${base}-cut${several() ? '-%d' : ''}${ext}`;
}

// Why the server would refuse the name; empty when it would take it.
export function nameProblem(name) {
  if (!name) return t('nameEmpty');
  if (name.startsWith('/')) return t('nameAbsolute');
  if (/[\u0000-\u001f\u007f\\]/.test(name)) return t('nameBadChar');
  if (/%[0-9a-fA-F]{2}/.test(name)) return t('namePercent');
  const parts = name.split('/');
  const file = parts[parts.length - 1];
  if (parts.length < 2 || file === '') return t('nameNoFile');
  if (parts.some((p) => p === '' || p === '.' || p === '..')) return t('nameDots');
  if (roots && !roots.includes(parts[0])) return t('nameNoRoot', roots.join(', '));
  if (file.startsWith('.kerf-part-')) return t('namePart');
  if (name === rec.path) return t('nameIsInput');
  const marks = (file.match(/%d/g) || []).length;
  if (several() && marks !== 1) return t('nameNeedsD');
  if (!several() && marks) return t('nameNoD');
  return '';
}

function running() {
  return job !== null;
}

export function checkCut() {
  if (!rec?.path) return;
  if (!edited) nameInput.value = madeUpName();
  const problem = nameProblem(nameInput.value);
  nameError.textContent = problem;
  nameInput.setAttribute('aria-invalid', problem ? 'true' : 'false');
  cutNote.textContent = rec.stretches.length ? '' : t('noStretchToCut');
  cutButton.disabled = Boolean(problem) || !rec.stretches.length || running();
}

function show(view) {
  progress.value = view.percent ?? 0;
  progress.dataset.state = view.state;
  stopButton.disabled = !(view.state === 'queued' || view.state === 'running');
  queue.textContent = view.state === 'queued' ? t('queued', view.queuePosition) :
    view.state === 'running' ? t('running', view.percent) : '';
}

function message(text, code) {
  const p = document.createElement('p');
  p.dataset.testid = 'outcome-message';
  if (code) p.dataset.code = code;
  p.className = 'error-text';
  p.textContent = text;
  return p;
}

function showOutcome(view) {
  const result = view.outcome || {};
  outcome.dataset.state = view.state;
  const title = document.createElement('h3');
  title.textContent = t(view.state);
  outcome.replaceChildren(title);
  if (view.state === 'done') {
    const list = document.createElement('ul');
    for (const o of result.outputs || []) {
      const li = document.createElement('li');
      Object.assign(li.dataset, { testid: 'output', path: o.path, bytes: o.bytes });
      li.textContent = `${o.path} — ${sizeText(o.bytes)}`;
      list.append(li);
    }
    outcome.append(list);
  } else if (view.state === 'failed') {
    outcome.append(message(result.message || t('failed'), result.code));
  }
  for (const s of result.stretches || []) for (const note of s.notes || []) outcome.append(message(note));
}

function ended(view) {
  show(view);
  showOutcome(view);
  job?.events?.close();
  job = null;
  checkCut();
}

// Follows the cut's events; when they break off, asks how it stands and follows again.
function follow(id) {
  const events = new EventSource(`/api/cuts/${encodeURIComponent(id)}/events`);
  job = { id, events };
  events.addEventListener('state', (e) => show(JSON.parse(e.data)));
  events.addEventListener('end', (e) => ended(JSON.parse(e.data)));
  events.addEventListener('error', async () => {
    events.close();
    if (job?.id !== id) return;
    try {
      const view = await getJson(`/api/cuts/${encodeURIComponent(id)}`);
      if (job?.id !== id) return;
      if (view.state === 'queued' || view.state === 'running') {
        show(view);
        setTimeout(() => job?.id === id && follow(id), 1000);
      } else {
        ended(view);
      }
    } catch (e) {
      ended({ state: 'failed', outcome: { message: e.message, code: e.code } });
    }
  });
}

// The button is enabled only for a name the server would take; the server checks again.
async function startCut() {
  if (job) return;
  const body = {
    path: rec.path,
    ranges: rec.stretches.map((s) => ({ start: atText(s.first), end: atText(s.last) })),
    snap: $('snap').checked,
    join: joinBox.checked,
    output: nameInput.value,
    overwrite: overwriteBox.checked,
  };
  if (rec.programme) body.programme = rec.programme;
  outcome.replaceChildren();
  delete outcome.dataset.state;
  cutButton.disabled = true;
  try {
    const view = await send('POST', '/api/cuts', body);
    show(view);
    follow(view.id);
  } catch (e) {
    outcome.dataset.state = 'refused';
    outcome.replaceChildren(message(e.message, e.code));
    checkCut();
  }
}

cutButton.addEventListener('click', startCut);
stopButton.addEventListener('click', async () => {
  if (!job) return;
  try {
    show(await send('DELETE', `/api/cuts/${encodeURIComponent(job.id)}`));
  } catch (e) {
    outcome.replaceChildren(message(e.message, e.code));
  }
});
nameInput.addEventListener('input', () => {
  edited = true;
  checkCut();
});
joinBox.addEventListener('change', checkCut);
document.addEventListener('kerf:stretches', checkCut);
document.addEventListener('kerf:lang', checkCut);

// A recording opened: a made-up name beside it, nothing followed.
export function resetCut(state) {
  rec = state;
  job?.events?.close();
  job = null;
  edited = false;
  progress.value = 0;
  delete progress.dataset.state;
  stopButton.disabled = true;
  queue.textContent = '';
  outcome.replaceChildren();
  delete outcome.dataset.state;
  rootNames().then((names) => {
    roots = names;
    checkCut();
  }, () => {});
  checkCut();
}
