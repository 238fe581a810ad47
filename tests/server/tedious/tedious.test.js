// Node's tedious driver against tds-server: a client written elsewhere, that shares nothing
// with us but the wire protocol. Run by CTest (TDS_SERVER_EXE names the built server); the
// servers run on fresh data directories made for the run.
'use strict';

const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn, execFileSync } = require('node:child_process');
const { once } = require('node:events');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
let tedious;
try {
  tedious = require('tedious');
} catch (err) {
  throw new Error(`tedious is not installed beside this script: run scripts/install-deps (${err.message})`);
}
const { Connection, ConnectionError, Request, RequestError, TYPES } = tedious;

const SERVER_EXE = process.env.TDS_SERVER_EXE;
const LOGIN = 'tedious';
const PASSWORD = 'Cl4ve-de-prueba';
const DATABASE = 'Pruebas';

const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tds-tedious-'));

async function startServer(name, extraArgs = []) {
  const dir = path.join(workDir, name);
  fs.mkdirSync(dir);
  const portFile = path.join(dir, 'port');
  const child = spawn(
    SERVER_EXE,
    ['-S', path.join(dir, 'data'), '--create', '--listen', '127.0.0.1:0', '--port-file', portFile,
      '--login', LOGIN, '--login-language', 'Español', '--name', 'tedioustest', ...extraArgs],
    { env: { ...process.env, TDS_SERVER_PASSWORD: PASSWORD }, stdio: ['ignore', 'ignore', 'pipe'] });
  let log = '';
  child.stderr.setEncoding('utf8').on('data', (d) => { log += d; });
  const exited = once(child, 'exit');
  for (let i = 0; i < 600; i++) {
    const text = fs.existsSync(portFile) ? fs.readFileSync(portFile, 'utf8') : '';
    if (text.endsWith('\n')) {
      return {
        port: Number(text),
        log: () => log,
        stop: async () => { child.kill('SIGTERM'); await exited; },
      };
    }
    if (child.exitCode !== null) break;
    await new Promise((r) => setTimeout(r, 50));
  }
  child.kill('SIGKILL');
  throw new Error(`tds-server did not start: ${log}`);
}

function configFor(server, { encrypt = false, password = PASSWORD, database = DATABASE } = {}) {
  return {
    server: '127.0.0.1',
    authentication: { type: 'default', options: { userName: LOGIN, password } },
    options: {
      port: server.port, database, encrypt, trustServerCertificate: true,
      serverName: 'localhost', connectTimeout: 15000, requestTimeout: 60000,
    },
  };
}

// Resolves with the open connection; `onConnection` sees it before it connects.
function connect(server, settings, onConnection) {
  return new Promise((resolve, reject) => {
    const connection = new Connection(configFor(server, settings));
    if (onConnection) onConnection(connection);
    connection.connect((err) => (err ? reject(err) : resolve(connection)));
  });
}

function close(connection) {
  if (connection.closed) return Promise.resolve();
  const ended = once(connection, 'end');
  connection.close();
  return ended;
}

// Runs `sql` (through sp_executesql with execSql, as a batch otherwise) and resolves with the
// rows as arrays of values and the output parameters by name.
function run(connection, sql, { setup, method = 'execSql' } = {}) {
  return new Promise((resolve, reject) => {
    const rows = [];
    const output = {};
    const request = new Request(sql, (err, rowCount) => (err ? reject(err) : resolve({ rows, output, rowCount })));
    request.on('row', (columns) => rows.push(columns.map((c) => c.value)));
    request.on('returnValue', (name, value) => { output[name] = value; });
    if (setup) setup(request);
    connection[method](request);
  });
}

// beginTransaction, commitTransaction, ...: transaction-manager requests.
function transactionStep(connection, step, ...args) {
  return new Promise((resolve, reject) => connection[step]((err) => (err ? reject(err) : resolve()), ...args));
}

let plain;      // no certificate: encryption not supported
let secured;    // a self-signed certificate made for the run
let certificatePem;

before(async () => {
  assert.ok(SERVER_EXE, 'TDS_SERVER_EXE names the tds-server to test');
  const cert = path.join(workDir, 'cert.pem');
  const key = path.join(workDir, 'key.pem');
  execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', key, '-out', cert,
    '-days', '2', '-subj', '/CN=localhost'], { stdio: 'ignore' });
  certificatePem = fs.readFileSync(cert, 'utf8');
  plain = await startServer('plain');
  secured = await startServer('secured', ['--certificate', cert, '--key', key]);
  for (const server of [plain, secured]) {
    const c = await connect(server, { database: 'master' });
    await run(c, `CREATE DATABASE ${DATABASE}`, { method: 'execSqlBatch' });
    await close(c);
  }
});

after(async () => {
  await Promise.all([plain, secured].filter(Boolean).map((s) => s.stop()));
  fs.rmSync(workDir, { recursive: true, force: true });
});

describe('connecting', () => {
  it('logs in without TLS, and the settings tedious sends after the login all apply', async () => {
    let secure = false;
    const errors = [];
    const c = await connect(plain, {}, (conn) => {
      conn.on('secure', () => { secure = true; });
      conn.on('errorMessage', (m) => errors.push(m.message));
    });
    assert.deepEqual(errors, []);
    const { rows } = await run(c, 'SELECT DB_NAME(), SUSER_SNAME()');
    assert.deepEqual(rows, [[DATABASE, LOGIN]]);
    assert.equal(secure, false);
    await close(c);
  });

  it('logs in over TLS and keeps the whole session encrypted', async () => {
    let socket;
    const c = await connect(secured, { encrypt: true }, (conn) => conn.on('secure', (s) => { socket = s; }));
    assert.ok(socket, 'tedious negotiated TLS');
    assert.equal(socket.getProtocol(), 'TLSv1.2');
    const expected = new crypto.X509Certificate(certificatePem).fingerprint256;
    assert.equal(socket.getPeerX509Certificate().fingerprint256, expected);
    const { rows } = await run(c, "SELECT N'cifrado: ñ€'");
    assert.deepEqual(rows, [['cifrado: ñ€']]);
    await close(c);
  });

  it('refuses a client that demands encryption from a server without a certificate', async () => {
    await assert.rejects(connect(plain, { encrypt: true }), (err) => {
      assert.ok(err instanceof ConnectionError, String(err));
      return true;
    });
    await waitFor(() => /refused \(the client requires encryption/.test(plain.log()), plain.log);
  });

  it('reports a wrong password as login failure 18456', async () => {
    const messages = [];
    await assert.rejects(
      connect(plain, { password: 'otra' }, (conn) => conn.on('errorMessage', (m) => messages.push(m))),
      (err) => {
        assert.ok(err instanceof ConnectionError);
        assert.equal(err.code, 'ELOGIN');
        assert.equal(err.message, `Login failed for user '${LOGIN}'.`);
        return true;
      });
    assert.deepEqual(messages.map((m) => [m.number, m.class, m.state]), [[18456, 14, 1]]);
  });
});

async function waitFor(condition, describeFailure) {
  for (let i = 0; i < 100 && !condition(); i++) await new Promise((r) => setTimeout(r, 50));
  assert.ok(condition(), describeFailure());
}

describe('requests', () => {
  let c;
  before(async () => { c = await connect(plain); });
  after(() => close(c));

  it('sends typed parameters, nulls included, and reads them back exactly', async () => {
    const when = new Date(Date.UTC(2009, 9, 31, 13, 45, 30, 500));
    const { rows } = await run(c,
      `SELECT @i, @i + 1, @n, DATALENGTH(@n), UNICODE(SUBSTRING(@n, 4, 1)), @v, DATALENGTH(@v), @d, @d * 100,
              @t, DATEPART(hour, @t), @b, @ni, @nn, CASE WHEN @nn IS NULL THEN 1 ELSE 0 END`, {
        setup: (r) => {
          r.addParameter('i', TYPES.Int, -2147483647);
          r.addParameter('n', TYPES.NVarChar, 'Año€ 𝄞');
          r.addParameter('v', TYPES.VarChar, 'Peña');
          r.addParameter('d', TYPES.Decimal, 12345.67, { precision: 10, scale: 2 });
          r.addParameter('t', TYPES.DateTime, when);
          r.addParameter('b', TYPES.Bit, true);
          r.addParameter('ni', TYPES.Int, null);
          r.addParameter('nn', TYPES.NVarChar, null);
        },
      });
    assert.deepEqual(rows, [[
      -2147483647, -2147483646, 'Año€ 𝄞', 14, 0x20ac, 'Peña', 4, 12345.67, 1234567, when, 13, true,
      null, null, 1,
    ]]);
  });

  it('returns output parameters, a null one included', async () => {
    const { output } = await run(c,
      "SET @suma = @a + 1; SET @texto = N'Total ' + CAST(@suma AS nvarchar(10)) + N' €'; SET @importe = @a / 8.0; SET @nada = NULL", {
        setup: (r) => {
          r.addParameter('a', TYPES.Int, 41);
          r.addOutputParameter('suma', TYPES.Int);
          r.addOutputParameter('texto', TYPES.NVarChar, null, { length: 40 });
          r.addOutputParameter('importe', TYPES.Decimal, null, { precision: 9, scale: 3 });
          r.addOutputParameter('nada', TYPES.VarChar, 'algo', { length: 10 });
        },
      });
    assert.deepEqual(output, { suma: 42, texto: 'Total 42 €', importe: 5.125, nada: null });
  });

  it('prepares a statement once and executes it with different values', async () => {
    let rows = [];
    let settle;
    const request = new Request("SELECT @x * 2, @s + N'!'", (err) => settle(err));
    request.addParameter('x', TYPES.Int);
    request.addParameter('s', TYPES.NVarChar, undefined, { length: 20 });
    request.on('row', (columns) => rows.push(columns.map((col) => col.value)));
    await new Promise((resolve, reject) => {
      request.once('prepared', resolve);
      request.once('error', reject);
      c.prepare(request);
    });
    assert.equal(typeof request.handle, 'number');
    const results = [];
    for (const [x, s] of [[4, 'uno'], [-5, 'dos']]) {
      rows = [];
      await new Promise((resolve, reject) => {
        settle = (err) => (err ? reject(err) : resolve());
        c.execute(request, { x, s });
      });
      results.push(rows);
    }
    assert.deepEqual(results, [[[8, 'uno!']], [[-10, 'dos!']]]);
  });

  it('reports errors with number, state and class, and PRINT as an informational message', async () => {
    const cases = [
      ['SELECT 1/0', 8134, 16, 'Divide by zero error encountered.'],
      ['SELECT * FROM dbo.NoExiste', 208, 16, "Invalid object name 'dbo.NoExiste'."],
    ];
    for (const [sql, number, cls, message] of cases) {
      await assert.rejects(run(c, sql), (err) => {
        assert.ok(err instanceof RequestError, String(err));
        assert.deepEqual([err.number, err.state, err.class, err.message], [number, 1, cls, message]);
        return true;
      });
    }
    const infos = [];
    const onInfo = (m) => infos.push([m.number, m.class, m.message]);
    c.on('infoMessage', onInfo);
    await run(c, "PRINT N'Hola, año'", { method: 'execSqlBatch' });
    c.off('infoMessage', onInfo);
    assert.deepEqual(infos, [[0, 0, 'Hola, año']]);
    // The connection goes on after errors.
    assert.deepEqual((await run(c, 'SELECT 1')).rows, [[1]]);
  });

  it('answers a procedure call with the status its RETURN gives', async () => {
    await run(c, 'CREATE PROCEDURE dbo.Doble @n int AS RETURN @n * 2', { method: 'execSqlBatch' });
    const statuses = [];
    for (const n of [21, 0]) {
      await run(c, 'dbo.Doble', {
        method: 'callProcedure',
        setup: (r) => {
          r.addParameter('n', TYPES.Int, n);
          r.on('doneProc', (rowCount, more, status) => { if (status !== undefined) statuses.push(status); });
        },
      });
    }
    assert.deepEqual(statuses, [42, 0]);
  });
});

describe('transactions', () => {
  it('commits one and rolls back another, as a second connection sees', async () => {
    const c = await connect(plain);
    await run(c, 'CREATE TABLE dbo.Movimientos (Id int PRIMARY KEY, Texto nvarchar(20))', { method: 'execSqlBatch' });
    const insert = (id) => run(c, 'INSERT INTO dbo.Movimientos VALUES (@id, @t)', {
      setup: (r) => { r.addParameter('id', TYPES.Int, id); r.addParameter('t', TYPES.NVarChar, `fila ${id}`); },
    });

    await transactionStep(c, 'beginTransaction');
    assert.equal(c.inTransaction, true);
    assert.ok(c.currentTransactionDescriptor().some((b) => b !== 0), 'a transaction descriptor from the server');
    await insert(1);
    await transactionStep(c, 'commitTransaction');
    assert.equal(c.inTransaction, false);

    await transactionStep(c, 'beginTransaction');
    await insert(2);
    await insert(3);
    await transactionStep(c, 'rollbackTransaction');
    assert.equal(c.inTransaction, false);
    assert.deepEqual((await run(c, 'SELECT @@TRANCOUNT')).rows, [[0]]);

    // Named, at an isolation level of its own, and back to a savepoint inside it.
    await transactionStep(c, 'beginTransaction', 'Traspaso', tedious.ISOLATION_LEVEL.SERIALIZABLE);
    await insert(4);
    await transactionStep(c, 'saveTransaction', 'Punto');
    await insert(5);
    await transactionStep(c, 'rollbackTransaction', 'Punto');
    assert.equal(c.inTransaction, true);
    await transactionStep(c, 'commitTransaction', 'Traspaso');

    const other = await connect(plain);
    const { rows } = await run(other, 'SELECT Id, Texto FROM dbo.Movimientos ORDER BY Id');
    assert.deepEqual(rows, [[1, 'fila 1'], [4, 'fila 4']]);
    await Promise.all([close(c), close(other)]);
  });
});

describe('cancelling', { timeout: 60000 }, () => {
  let c;
  let lost;
  before(async () => {
    c = await connect(plain);
    c.on('error', (err) => { lost = err; });
  });
  after(() => close(c));

  // Runs `sql` after `arrange` set the request up, and expects tedious's cancellation: the
  // acknowledgement came within tedious's cancel timeout (5 s), or the connection is lost.
  async function cancelled(sql, arrange, { method = 'execSqlBatch', cancelAtOnce = false } = {}) {
    await assert.rejects(
      new Promise((resolve, reject) => {
        const request = new Request(sql, (err) => (err ? reject(err) : resolve()));
        arrange(request);
        c[method](request);
        if (cancelAtOnce) request.cancel();
      }),
      (err) => {
        assert.ok(err instanceof RequestError, String(err));
        assert.equal(err.code, 'ECANCEL');
        return true;
      });
  }

  it('ends a waiting batch at once and keeps the connection', async () => {
    await cancelled("WAITFOR DELAY '00:00:30'; SELECT 1", (request) => setTimeout(() => request.cancel(), 300));
    assert.deepEqual((await run(c, "SELECT N'sigue'")).rows, [['sigue']]);
    assert.equal(lost, undefined);
  });

  it('ends a request in the middle of its rows and keeps the connection', async () => {
    await run(c, `CREATE TABLE dbo.Cifras (n int)
                  DECLARE @i int = 0
                  WHILE @i < 200 BEGIN INSERT dbo.Cifras VALUES (@i) SET @i += 1 END`, { method: 'execSqlBatch' });
    const sql = "SELECT a.n, b.n, REPLICATE(N'x', 100) FROM dbo.Cifras a CROSS JOIN dbo.Cifras b";
    let rows = 0;
    await cancelled(sql, (request) => request.on('row', () => { if (++rows === 1) request.cancel(); }));
    assert.deepEqual((await run(c, 'SELECT 2')).rows, [[2]]);
    assert.equal(lost, undefined);
  });

  it('answers a request withdrawn before all of it was sent', async () => {
    // Cancelled at once, tedious ends the message half sent, marked to be ignored.
    await cancelled('SELECT LEN(@grande)', (request) => {
      request.addParameter('grande', TYPES.NVarChar, 'x'.repeat(1 << 20));
    }, { method: 'execSql', cancelAtOnce: true });
    assert.deepEqual((await run(c, 'SELECT 3')).rows, [[3]]);
    assert.equal(lost, undefined);
  });
});
