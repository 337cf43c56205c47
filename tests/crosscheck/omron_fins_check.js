// Drives finsim with the omron-fins client and prints what it got back, one
// line a step: NAME END_CODE [VALUE,VALUE,...]  (or NAME timeout / NAME error TEXT).
// Usage: node omron_fins_check.js udp|tcp PORT
'use strict';
const fins = require('omron-fins');

const [protocol, portText] = process.argv.slice(2);
const port = Number(portText);
if (!['udp', 'tcp'].includes(protocol) || !(port > 0 && port < 65536)) {
    console.error('usage: node omron_fins_check.js udp|tcp PORT');
    process.exit(2);
}

const client = fins.FinsClient(port, '127.0.0.1', { protocol, timeout: 3000, DA1: 1, SA1: 100 });

// Each step calls done(message, values) with the values to print.
const steps = [
    ['read-dm', (done) => client.read('D100', 8, done)],
    ['read-cio', (done) => client.read('CIO10', 2, done)],
    ['read-wr', (done) => client.read('W5', 1, done)],
    ['read-hr', (done) => client.read('H3', 1, done)],
    ['read-em', (done) => client.read('E3_50', 2, done)],
    ['read-large', (done) => client.read('D0', 999, done)],
    ['write-dm', (done) => client.write('D200', [1, -1, 32767, -32768, 4660], done)],
    ['write-bits', (done) => client.write('D300.3', [true, false, true], done)],
    ['fill', (done) => client.fill('D400', 7, 5, done)],
    ['read-multiple', (done) => client.readMultiple(['D100', 'W5', 'CIO10.15'], done)],
    ['read-beyond', (done) => client.read('D32767', 2, done)],
    ['status', (done) => client.status(done)],
    ['cpu-data', (done) => client.cpuUnitDataRead(done)],
];

function describe(msg) {
    const response = (msg && msg.response) || {};
    const result = response.result || {};
    if (result.mode !== undefined) {
        return [result.status, result.mode];
    }
    if (result.CPUUnitModel !== undefined) {
        return [result.CPUUnitModel];
    }
    return (response.values || []).map((v) => (typeof v === 'boolean' ? Number(v) : v));
}

function run(index) {
    if (index >= steps.length) {
        client.disconnect();
        process.exit(0);
    }
    const [name, step] = steps[index];
    step((err, msg) => {
        if (err) {
            console.log(`${name} error ${err.message || err}`);
        } else if (msg.timeout) {
            console.log(`${name} timeout`);
        } else {
            // Error end codes arrive as successful callbacks: print the code itself.
            console.log(`${name} ${msg.response.endCode} ${describe(msg).join(',')}`);
        }
        run(index + 1);
    });
}

client.on('error', (error) => {
    console.log(`client error ${error && error.message ? error.message : error}`);
    process.exit(1);
});
// The client counts as connected only after its 'open' handlers have run.
client.on('open', () => setImmediate(() => run(0)));
setTimeout(() => {
    console.log('client gave up');
    process.exit(1);
}, 60000).unref();
