'use strict';
// Lists the report's records a page at a time, narrowed by status, search and changed column. Every
// text from the compared files goes into the page as a text node, never as markup.
(() => {
  const pageSize = 100;
  const printLimit = 5000;
  const source = document.getElementById('report-data');
  const data = JSON.parse(source.textContent);
  source.remove();  // its text is as large as the records: read once, it is let go
  const records = data.records;
  const statusTitles = ['Changed', 'Only in ' + data.leftName, 'Only in ' + data.rightName];
  const statusNames = ['changed', 'only-left', 'only-right'];
  const numbers = new Intl.NumberFormat();
  const state = { status: -1, query: '', field: -1, isChangedOnly: true, page: 0 };
  let shown = records.map((record, position) => position);
  let searchTexts = null;

  const byId = (id) => document.getElementById(id);
  const list = byId('records');

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function option(value, text) {
    const node = element('option', '', text);
    node.value = String(value);
    return node;
  }

  // The key, then every cell of both rows, apart from one another so that a search never spans two.
  function searchText(record) {
    return [record[1]].concat(record[2] || [], record[3] || []).join('\u0000').toLowerCase();
  }

  function isSelected(record, position, query) {
    if (state.status >= 0 && record[0] !== state.status) return false;
    if (state.field >= 0 && !record[4].some((change) => change[0] === state.field)) return false;
    return query === '' || searchTexts[position].includes(query);
  }

  function select() {
    const query = state.query.trim().toLowerCase();
    if (query !== '' && searchTexts === null) searchTexts = records.map(searchText);
    shown = [];
    records.forEach((record, position) => {
      if (isSelected(record, position, query)) shown.push(position);
    });
    state.page = 0;
    show();
  }

  function valueNode(text, segments) {
    if (text === undefined) return element('div', 'value missing', 'Not present');
    if (text === '') return element('div', 'value missing', 'Empty');
    const node = element('div', 'value');
    if (!segments) {
      node.textContent = text;
      return node;
    }
    segments.forEach((segment, index) => {
      if (segment === '') return;
      node.append(index % 2 === 1 ? element('mark', '', segment) : document.createTextNode(segment));
    });
    return node;
  }

  function sideCell(header, text, segments, isChanged, isCompared) {
    const cell = element('td');
    const caption = element('div', 'caption', header === undefined ? 'No mapped column' : header);
    if (isChanged) caption.append(element('span', 'edited', '\u270e Changed'));
    if (header !== undefined && !isCompared) caption.append(element('span', 'not-compared', 'Not compared'));
    cell.append(caption, valueNode(text, segments));
    return cell;
  }

  function cellAt(row, index) {
    return index !== null && row && index < row.length ? row[index] : undefined;
  }

  function recordNode(record) {
    const item = element('li', 'record ' + statusNames[record[0]]);
    const header = element('header');
    header.append(element('p', 'key', record[1] === '' ? 'Empty row key' : record[1]),
      element('p', 'status', statusTitles[record[0]]));
    const table = element('table', 'fields');
    const heading = table.createTHead().insertRow();
    heading.append(element('th', '', data.leftName), element('th', '', data.rightName));
    const body = table.createTBody();
    const changes = new Map(record[4].map((change) => [change[0], change]));
    data.fields.forEach((field, index) => {
      const change = changes.get(index);
      const left = cellAt(record[2], field[0]);
      const right = cellAt(record[3], field[1]);
      if (left === undefined && right === undefined) return;
      if (record[0] === 0 && state.isChangedOnly && !change) return;
      const row = body.insertRow();
      if (change) row.className = 'changed';
      const isCompared = field[2] === 1;
      row.append(
        sideCell(field[0] === null ? undefined : data.leftHeaders[field[0]], left, change && change[1], !!change, isCompared),
        sideCell(field[1] === null ? undefined : data.rightHeaders[field[1]], right, change && change[2], !!change, isCompared));
    });
    item.append(header, table);
    return item;
  }

  function pageCount() {
    return Math.max(1, Math.ceil(shown.length / pageSize));
  }

  function render(positions) {
    list.replaceChildren(...positions.map((position) => recordNode(records[position])));
    byId('no-records').hidden = shown.length > 0;
  }

  function show() {
    const first = state.page * pageSize;
    render(shown.slice(first, first + pageSize));
    const count = numbers.format(shown.length);
    byId('count').textContent = shown.length === records.length
      ? count + ' records' : count + ' of ' + numbers.format(records.length) + ' records';
    const pageText = 'Page ' + numbers.format(state.page + 1) + ' of ' + numbers.format(pageCount());
    for (const pager of document.querySelectorAll('.pager')) {
      pager.querySelector('.page').textContent = pageText;
      pager.querySelector('.previous').disabled = state.page === 0;
      pager.querySelector('.next').disabled = state.page + 1 >= pageCount();
    }
  }

  function turnPage(step, pager) {
    state.page = Math.min(Math.max(state.page + step, 0), pageCount() - 1);
    show();
    if (pager.classList.contains('bottom')) byId('controls').scrollIntoView();
  }

  function fillPickers() {
    const statusPicker = byId('status');
    const counts = [0, 0, 0];
    for (const record of records) counts[record[0]] += 1;
    statusPicker.append(option(-1, 'All differences (' + numbers.format(records.length) + ')'));
    statusTitles.forEach((title, status) => {
      if (counts[status] > 0) statusPicker.append(option(status, title + ' (' + numbers.format(counts[status]) + ')'));
    });
    const fieldPicker = byId('field');
    fieldPicker.append(option(-1, 'Any column'));
    for (const column of data.columns) {
      fieldPicker.append(option(column[0], column[1] + ' (' + numbers.format(column[2]) + ')'));
    }
    fieldPicker.disabled = data.columns.length === 0;
  }

  function listen() {
    byId('status').addEventListener('change', (event) => { state.status = Number(event.target.value); select(); });
    byId('field').addEventListener('change', (event) => { state.field = Number(event.target.value); select(); });
    byId('search').addEventListener('input', (event) => { state.query = event.target.value; select(); });
    byId('changed-only').addEventListener('change', (event) => { state.isChangedOnly = event.target.checked; show(); });
    for (const pager of document.querySelectorAll('.pager')) {
      pager.querySelector('.previous').addEventListener('click', () => turnPage(-1, pager));
      pager.querySelector('.next').addEventListener('click', () => turnPage(1, pager));
    }
    window.addEventListener('beforeprint', () => {
      const note = byId('print-note');
      if (shown.length <= printLimit) {
        render(shown);
        note.textContent = '';
      } else {
        note.textContent = 'This printout holds page ' + numbers.format(state.page + 1) + ' of ' +
          numbers.format(pageCount()) + '; narrow the records to print more of them at once.';
      }
    });
    window.addEventListener('afterprint', show);
  }

  fillPickers();
  listen();
  byId('viewer').hidden = false;
  show();
})();
