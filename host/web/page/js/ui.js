import {call} from './bridge.js';

// Builds elements; text always goes in as text nodes, never as markup.
/**
 * @template {keyof HTMLElementTagNameMap} K
 * @param {K} tag
 * @param {Record<string, unknown>} [props] properties of the element; `dataset` is merged
 * @param {...(Node | string | null | undefined)} children
 * @returns {HTMLElementTagNameMap[K]}
 */
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key === 'dataset') Object.assign(node.dataset, value);
    else /** @type {Record<string, unknown>} */ (/** @type {unknown} */ (node))[key] = value;
  }
  for (const child of children) {
    if (child !== null && child !== undefined) node.append(child);  // strings become text nodes
  }
  return node;
}

// An element of the page's own markup (index.html), which is there by construction.
/** @type {(selector: string) => any} */
export const $ = (selector) => document.querySelector(selector);

// A line in the page's log of errors and notes.
/**
 * @param {string} text
 * @param {string} [kind]
 */
export function report(text, kind = 'error') {
  const list = $('#errors');
  list.prepend(el('li', {className: kind}, `${new Date().toLocaleTimeString()} ${text}`));
  while (list.children.length > 50) list.lastChild.remove();
}

// Runs a command and reports a failure (no connection, or a negative result code) in the page.
// Returns the result array, or null when the command did not reach the bridge.
/**
 * @template {import('./bridge.js').CommandName} N
 * @param {N} name
 * @param {import('./bridge.js').CommandArgs<N>} args
 * @returns {Promise<import('./bridge.js').CommandResult<N> | null>}
 */
export async function command(name, ...args) {
  try {
    const result = await call(name, ...args);
    if (Array.isArray(result) && Number(result[0]) < 0) {
      report(`${name} answered ${JSON.stringify(result)}`);
    }
    return result;
  } catch (error) {
    report(/** @type {Error} */ (error).message);
    return null;
  }
}
