import {call} from './bridge.js';

// Builds elements; text always goes in as text nodes, never as markup.
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key === 'dataset') Object.assign(node.dataset, value);
    else node[key] = value;
  }
  for (const child of children) {
    if (child !== null && child !== undefined) node.append(child);  // strings become text nodes
  }
  return node;
}

export const $ = (selector) => document.querySelector(selector);

// A line in the page's log of errors and notes.
export function report(text, kind = 'error') {
  const list = $('#errors');
  list.prepend(el('li', {className: kind}, `${new Date().toLocaleTimeString()} ${text}`));
  while (list.children.length > 50) list.lastChild.remove();
}

// Runs a command and reports a failure (no connection, or a negative result code) in the page.
// Returns the result array, or null when the command did not reach the bridge.
export async function command(name, ...args) {
  try {
    const result = await call(name, ...args);
    if (Array.isArray(result) && result[0] < 0) report(`${name} answered ${JSON.stringify(result)}`);
    return result;
  } catch (error) {
    report(error.message);
    return null;
  }
}
