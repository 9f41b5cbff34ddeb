// The page's entry: the language, the banner for errors a person can act on, and the views by
// the address's hash: #/ (the roots), #/dir/ROOT/... (a folder), #/rec/ROOT/.../NAME.ts (one
// recording, optionally ?at=p:HEX).
import { applyWords, lang, setLang, t } from './i18n.js';
import { showFolder } from './list.js';
import { openRecording, closeRecording } from './recording.js';

const banner = document.getElementById('banner');
let bannerKind = '';

function showBanner(kind, text) {
  bannerKind = kind;
  banner.dataset.kind = kind;
  banner.textContent = text;
  banner.hidden = false;
}

function clearBanner(kind) {
  if (bannerKind !== kind) return;
  bannerKind = '';
  banner.hidden = true;
  banner.textContent = '';
  delete banner.dataset.kind;
}

document.addEventListener('kerf:connection', (e) => {
  const { state, retryInMs, code } = e.detail;
  if (state === 'offline') {
    showBanner('offline', retryInMs ? t('offline', Math.round(retryInMs / 1000)) : t('offlineNow'));
  } else if (state === 'auth') {
    // Opened with a token in the address that the server refused: that token is the old one.
    const oldAddress = new URLSearchParams(location.search).has('token');
    showBanner('auth', t(code === 'token_missing' && !oldAddress ? 'authMissing' : 'authWrong'));
  } else {
    clearBanner('offline');
  }
});

// Errors of a view that are not about the connection.
document.addEventListener('kerf:error', (e) => showBanner('error', e.detail.message));

function route() {
  clearBanner('error');
  const hash = location.hash.replace(/^#\/?/, '');
  const [where, search] = hash.split('?');
  const parts = where.split('/').filter((p) => p !== '');
  const kind = parts.shift();
  let path = '';
  try {
    path = parts.map(decodeURIComponent).join('/');
  } catch {
    path = '';
  }
  if (kind === 'rec' && path) {
    const at = new URLSearchParams(search || '').get('at');
    document.getElementById('list-view').hidden = true;
    document.getElementById('rec-view').hidden = false;
    document.body.dataset.view = 'rec';
    openRecording(path, at);
    return;
  }
  closeRecording();
  document.getElementById('rec-view').hidden = true;
  document.getElementById('list-view').hidden = false;
  document.body.dataset.view = 'list';
  showFolder(kind === 'dir' ? path : '');
}

const choice = document.getElementById('lang');
choice.value = lang();
choice.addEventListener('change', () => setLang(choice.value));
applyWords();
window.addEventListener('hashchange', route);
// The list's texts are made with the rows: drawn again in the new language.
document.addEventListener('kerf:lang', () => {
  if (document.body.dataset.view === 'list') route();
});
route();
