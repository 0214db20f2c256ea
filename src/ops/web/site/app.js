// varn's web console: the overview (/), one line (/line/N) and the day's
// event file (/events). Plain script, no framework, nothing from outside.
'use strict';

const STATES = {
  recording: '録音中',
  stopped: '停止',
  stalled: '入力途絶',
  device_error: '入力デバイス異常',
};
const FLOOR_DB = -60;

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

function fmt(db) {
  return db <= -99 ? '-∞' : db.toFixed(1);
}

function widthOf(db) {
  return Math.max(0, Math.min(100, ((db - FLOOR_DB) / -FLOOR_DB) * 100)) + '%';
}

// ---- the lines ------------------------------------------------------------

const cards = new Map();

function card(line, single) {
  let c = cards.get(line.channel);
  if (c) return c;
  const root = el('article', 'line');
  root.dataset.channel = line.channel;
  const h = el('h3');
  h.append(el('span', 'num', 'ch' + line.channel));
  const name = single ? el('span', 'name') : el('a', 'name');
  if (!single) name.href = '/line/' + line.channel;
  h.append(name);
  const state = el('span', 'state');
  h.append(state);
  root.append(h);
  const device = el('div', 'device');
  root.append(device);
  const sides = el('div', 'sides');
  root.append(sides);
  const extra = el('div', 'extra');
  const lufs = el('span', 'lufs');
  const alarms = el('span', 'alarms');
  extra.append(lufs, alarms);
  root.append(extra);
  c = { root, name, state, device, sides, lufs, alarms, bars: new Map() };
  cards.set(line.channel, c);
  document.getElementById('lines').append(root);
  return c;
}

function sideRow(c, side) {
  let r = c.bars.get(side);
  if (r) return r;
  const row = el('div', 'side');
  row.dataset.side = side;
  row.append(el('span', 'lbl', side));
  const bar = el('div', 'bar');
  const rms = el('div', 'rms');
  const peak = el('div', 'peak');
  bar.append(rms, peak);
  row.append(bar);
  const fig = el('span', 'fig');
  const fp = el('span', 'fig-peak');
  const fr = el('span', 'fig-rms');
  fig.append(fp, ' / ', fr);
  row.append(fig);
  c.sides.append(row);
  r = { row, rms, peak, fp, fr };
  c.bars.set(side, r);
  return r;
}

function showLine(line, single) {
  const c = card(line, single);
  c.name.textContent = line.name || ('ch' + line.channel);
  c.state.textContent = STATES[line.state] || line.state;
  c.state.className = 'state ' + line.state;
  c.device.textContent = line.device ? (line.fallback ? line.device + ' (既定デバイスで録音)' : line.device) : '';
  const seen = new Set();
  let over = false;
  let low = false;
  for (const s of line.sides) {
    seen.add(s.side);
    const r = sideRow(c, s.side);
    r.rms.style.width = widthOf(s.rms);
    r.peak.style.left = widthOf(s.peak);
    r.fp.textContent = fmt(s.peak);
    r.fr.textContent = fmt(s.rms);
    r.row.classList.toggle('over', s.over);
    r.row.classList.toggle('low', s.low);
    over = over || s.over;
    low = low || s.low;
  }
  for (const [side, r] of c.bars) {
    if (!seen.has(side)) {
      r.row.remove();
      c.bars.delete(side);
    }
  }
  c.lufs.textContent = line.shortTermLufs === null ? '' : 'S ' + line.shortTermLufs.toFixed(1) + ' LUFS';
  c.alarms.replaceChildren();
  if (over) c.alarms.append(el('span', 'over', 'レベルオーバー'));
  if (low) c.alarms.append(el('span', 'low', 'レベル低下'));
  if (line.stalled) c.alarms.append(el('span', 'stall', '入力途絶'));
  if (line.writeFailing) c.alarms.append(el('span', 'over', '録音ファイル書込失敗'));
  c.root.classList.toggle('alarm-over', over);
  c.root.classList.toggle('alarm-low', low && !over);
  c.root.classList.toggle('stalled', line.state === 'stalled');
  c.root.classList.toggle('device_error', line.state === 'device_error');
}

function showStatus(status, only) {
  for (const line of status.lines) {
    if (only && line.channel !== only) continue;
    showLine(line, !!only);
  }
  if (only) {
    const line = status.lines.find((l) => l.channel === only);
    if (line) document.title = 'varn ch' + only + ' ' + (line.name || '');
  }
}

// ---- events as they come ------------------------------------------------------

function eventItem(e) {
  const li = el('li', 'k-' + e.kind);
  li.dataset.kind = e.kind;
  li.append(el('span', 't', e.local));
  const where = [e.channel ? 'ch' + e.channel : '', e.side ? e.side + 'ch' : ''].filter(Boolean).join(' ');
  if (where) li.append(el('span', 'w', where));
  li.append(el('span', 'm', e.message));
  return li;
}

function addEvent(e, only, fresh) {
  if (only && e.channel !== only) return;
  if (e.kind === 'separator') return;
  const list = document.getElementById('events');
  const li = eventItem(e);
  if (fresh) li.classList.add('fresh');
  list.prepend(li);
  while (list.children.length > 50) list.lastChild.remove();
}

function live(only) {
  const conn = document.getElementById('conn');
  const source = new EventSource('/api/v1/live');
  let first = true;
  source.addEventListener('levels', (m) => {
    conn.textContent = '';
    conn.classList.remove('lost');
    showStatus(JSON.parse(m.data), only);
  });
  source.addEventListener('log', (m) => {
    addEvent(JSON.parse(m.data), only, !first);
  });
  source.addEventListener('open', () => {
    // The stream starts with the last few lines: the list is made afresh.
    document.getElementById('events').replaceChildren();
    first = true;
    setTimeout(() => { first = false; }, 500);
  });
  source.addEventListener('error', () => {
    conn.textContent = '接続待ち…';
    conn.classList.add('lost');
  });
}

// ---- /events ------------------------------------------------------------------

async function eventsPage() {
  const day = document.getElementById('day');
  const channel = document.getElementById('channel');
  const kind = document.getElementById('kind');
  const body = document.querySelector('#log tbody');
  const count = document.getElementById('count');
  for (let ch = 1; ch <= 8; ch++) channel.append(new Option('ch' + ch, String(ch)));
  let filled = false;

  async function load() {
    const q = new URLSearchParams();
    if (day.value) q.set('day', day.value);
    if (channel.value) q.set('channel', channel.value);
    if (kind.value) q.set('kind', kind.value);
    const r = await fetch('/api/v1/events?' + q.toString());
    if (!r.ok) {
      count.textContent = r.status + ' ' + r.statusText;
      return;
    }
    const data = await r.json();
    if (!filled) {
      filled = true;
      const days = data.days.slice().reverse();
      if (!days.includes(data.day)) days.unshift(data.day);
      for (const d of days) day.append(new Option(d.slice(0, 4) + '/' + d.slice(4, 6) + '/' + d.slice(6), d));
      day.value = data.day;
      for (const k of data.kinds) kind.append(new Option(k, k));
    }
    const rows = [];
    for (const e of data.events) {
      const tr = el('tr', 'k-' + e.kind);
      tr.dataset.kind = e.kind;
      tr.dataset.channel = e.channel || '';
      tr.append(el('td', 't', e.local), el('td', 't utc', e.utc),
        el('td', '', e.channel ? 'ch' + e.channel : ''), el('td', '', e.side ? e.side + 'ch' : ''),
        el('td', 'm', e.message));
      rows.push(tr);
    }
    body.replaceChildren(...rows);
    count.textContent = data.events.length + ' 件';
  }
  for (const s of [day, channel, kind]) s.addEventListener('change', load);
  await load();
}

// ---- one line's archive ---------------------------------------------------------

function pad(n) {
  return String(n).padStart(2, '0');
}

// "2026-12-08 06:08:30" (or with an offset) as a datetime-local value.
function inputTime(text) {
  return text.slice(0, 19).replace(' ', 'T');
}

function addSeconds(text, seconds) {
  const d = new Date(inputTime(text));
  d.setSeconds(d.getSeconds() + seconds);
  return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + 'T' +
    pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
}

function sizeText(bytes) {
  return bytes >= 1048576 ? (bytes / 1048576).toFixed(1) + ' MB' : Math.ceil(bytes / 1024) + ' KB';
}

function lengthText(ms) {
  const s = Math.round(ms / 1000);
  return Math.floor(s / 60) + ':' + pad(s % 60);
}

async function archivePart(channel) {
  const player = document.getElementById('player');
  const from = document.getElementById('from');
  const to = document.getElementById('to');
  const format = document.getElementById('format');
  const download = document.getElementById('range-download');
  const daySelect = document.getElementById('archive-day');
  const body = document.querySelector('#files tbody');
  const holesText = document.getElementById('holes');
  let listing = { files: [], holes: [] };

  function rangeUrl(save) {
    const q = new URLSearchParams({ channel: String(channel), from: from.value, to: to.value,
      format: format.value });
    if (save) q.set('download', '1');
    return '/api/v1/extract?' + q.toString();
  }
  function updateDownload() {
    download.href = from.value && to.value ? rangeUrl(true) : '#';
  }
  for (const input of [from, to, format]) input.addEventListener('change', updateDownload);
  document.getElementById('range-play').addEventListener('click', () => {
    if (!from.value || !to.value) return;
    player.src = rangeUrl(false);
    player.play().catch(() => {});
  });

  function showDay() {
    const day = daySelect.value;
    const rows = [];
    for (const f of listing.files) {
      if (f.start.slice(0, 10) !== day) continue;
      const tr = el('tr');
      tr.dataset.name = f.name;
      tr.append(el('td', 't', f.start.slice(11, 19)), el('td', 't', lengthText(f.lengthMs)),
        el('td', '', f.error ? f.error : f.format), el('td', 't', sizeText(f.size)));
      const actions = el('td');
      if (!f.error) {
        const play = el('button', 'button play', '再生');
        play.type = 'button';
        play.addEventListener('click', () => {
          for (const r of body.children) r.classList.remove('playing');
          tr.classList.add('playing');
          player.src = f.url;
          player.play().catch(() => {});
          from.value = inputTime(f.start);
          to.value = addSeconds(f.start, Math.max(1, Math.min(60, Math.floor(f.lengthMs / 1000))));
          updateDownload();
        });
        const save = el('a', 'button', '保存');
        save.href = f.url;
        save.download = f.name;
        actions.append(play, save);
      }
      tr.append(actions);
      rows.push(tr);
    }
    body.replaceChildren(...rows);
    const holes = listing.holes.filter((h) => h.start.slice(0, 10) === day || h.end.slice(0, 10) === day);
    holesText.textContent = holes.length ? '欠落 ' + holes.map((h) => h.start.slice(11, 19) + '–' + h.end.slice(11, 19)).join(', ') : '';
  }
  daySelect.addEventListener('change', showDay);

  const r = await fetch('/api/v1/archive?channel=' + channel);
  if (!r.ok) return;
  listing = await r.json();
  const days = [...new Set(listing.files.map((f) => f.start.slice(0, 10)))].sort().reverse();
  for (const d of days) daySelect.append(new Option(d.replaceAll('-', '/'), d));
  if (days.length) daySelect.value = days[0];
  showDay();
}

// ---- start ----------------------------------------------------------------------

const page = document.body.dataset.page;
if (page === 'overview') {
  live(0);
} else if (page === 'line') {
  const only = Number(location.pathname.split('/')[2]);
  live(only);
  archivePart(only);
} else if (page === 'events') {
  eventsPage();
}
