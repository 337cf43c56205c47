// Reads D100 (one word) from a FINS/UDP controller with omron-fins, each read
// issued from the callback of the one before, and prints "rate N": reads per
// second after a warm-up.
// Usage: node omron_fins_peer.js PORT READS NODE_MODULES_DIR
'use strict';
const path = require('path');

const [portText, readsText, modules] = process.argv.slice(2);
const port = Number(portText);
const reads = Number(readsText);
if (!(port > 0 && port < 65536) || !(reads > 0) || !modules) {
    console.error('usage: node omron_fins_peer.js PORT READS NODE_MODULES_DIR');
    process.exit(2);
}
const fins = require(path.join(modules, 'omron-fins'));
const client = fins.FinsClient(port, '127.0.0.1', { protocol: 'udp', timeout: 2000, DA1: 1, SA1: 101 });
const WARM_UP = 50;

function fail(text) {
    console.log(`peer failed: ${text}`);
    process.exit(1);
}

// Calls done() after count reads in a row.
function readInTurn(count, done) {
    let left = count;
    const next = () => {
        client.read('D100', 1, (error, msg) => {
            if (error) {
                return fail(error.message || error);
            }
            if (msg.timeout || !msg.response || msg.response.endCode !== '0000') {
                return fail(msg.timeout ? 'timeout' : `end code ${msg.response && msg.response.endCode}`);
            }
            if (--left === 0) {
                return done();
            }
            next();
        });
    };
    next();
}

client.on('error', (error) => fail(error && error.message ? error.message : error));
// The client counts as connected only after its 'open' handlers have run.
client.on('open', () =>
    setImmediate(() =>
        readInTurn(WARM_UP, () => {
            const start = process.hrtime.bigint();
            readInTurn(reads, () => {
                const seconds = Number(process.hrtime.bigint() - start) / 1e9;
                console.log(`rate ${reads / seconds}`);
                client.disconnect();
                process.exit(0);
            });
        }),
    ),
);
setTimeout(() => fail('gave up after 120 s'), 120000).unref();
