// The SQL Server stand-in as a second, independent client sees it: tedious (and mssql on
// top of it) against a stand-in of its own on a free port. Run by CTest:
//   DEVIR_SANDBOX=path/to/devir-sandbox node --test conformance.test.js
'use strict';

const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');
const { after, before, describe, test } = require('node:test');
const { Connection, Request, TYPES, ISOLATION_LEVEL } = require('tedious');
const sql = require('mssql');

const sandbox = process.env.DEVIR_SANDBOX;
let server;
let port;
let dataDir;

before(async () => {
  assert.ok(sandbox, 'DEVIR_SANDBOX names the devir-sandbox executable');
  dataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'devir-conformance-'));
  const seeded = spawnSync(sandbox, ['seed', '--data', dataDir], { encoding: 'utf8' });
  assert.equal(seeded.status, 0, seeded.stderr);
  server = spawn(sandbox, ['serve', '--data', dataDir, '--port', '0', '--browser-port', '0'],
                 { stdio: ['ignore', 'pipe', 'inherit'] });
  const [line] = await new Promise((resolve, reject) => {
    readline.createInterface({ input: server.stdout }).once('line', (l) => resolve([l]));
    server.once('exit', (code) => reject(new Error(`devir-sandbox ended with ${code}`)));
  });
  port = Number(line.split(':').pop());
  await run(await connect('master'), 'CREATE DATABASE KONTROL');
});

after(() => {
  if (server) server.kill('SIGTERM');
  if (dataDir) fs.rmSync(dataDir, { recursive: true, force: true });
});

const opened = [];
after(() => opened.forEach((c) => c.close()));

function config(database, password = 'qolvanet') {
  return {
    server: '127.0.0.1',
    authentication: { type: 'default', options: { userName: 'sa', password } },
    options: { port, database, encrypt: false, requestTimeout: 15000, cancelTimeout: 5000 },
  };
}

// A tedious connection; the messages the server sent on the way are in .messages.
function connect(database = 'E2017', password) {
  return new Promise((resolve, reject) => {
    const connection = new Connection(config(database, password));
    connection.messages = [];
    connection.on('errorMessage', (m) => connection.messages.push(m));
    connection.on('infoMessage', (m) => connection.messages.push(m));
    connection.connect((err) => {
      if (err) {
        err.messages = connection.messages;
        reject(err);
        return;
      }
      opened.push(connection);
      resolve(connection);
    });
  });
}

// Runs a batch (or, with parameters, sp_executesql); resolves with rows of {column: value}
// and the metadata, rejects with tedious's error.
function run(connection, text, parameters = [], onRequest = () => {}) {
  return new Promise((resolve, reject) => {
    const rows = [];
    let columns = [];
    const request = new Request(text, (err, rowCount) =>
      (err ? reject(err) : resolve({ rows, columns, rowCount })));
    for (const [name, type, value, options] of parameters) {
      request.addParameter(name, type, value, options);
    }
    request.on('columnMetadata', (meta) => { columns = meta; });
    request.on('row', (cells) => rows.push(Object.fromEntries(cells.map((c) => [c.metadata.colName, c.value]))));
    onRequest(request);
    if (parameters.length) connection.execSql(request); else connection.execSqlBatch(request);
  });
}

function transaction(connection, verb, ...args) {
  return new Promise((resolve, reject) => connection[verb]((err) => (err ? reject(err) : resolve()), ...args));
}

describe('login', () => {
  test('a wrong password is refused with 18456', async () => {
    const err = await connect('E2017', 'yanlis').then(() => null, (e) => e);
    assert.equal(err.code, 'ELOGIN');
    assert.equal(err.message, "Login failed for user 'sa'.");
  });

  test('an unknown database is refused with 4060, then 18456', async () => {
    const err = await connect('E1999').then(() => null, (e) => e);
    assert.equal(err.code, 'ELOGIN');
    assert.deepEqual(err.messages.map((m) => m.number), [4060, 18456]);
    assert.equal(err.messages[0].message,
                 'Cannot open database "E1999" requested by the login. The login failed.');
  });
});

describe('types', () => {
  // Name, declared type, what tedious reads from COLMETADATA (type, length), literal, value.
  const columns = [
    ['c_tinyint', 'tinyint', ['IntN', 1], 255, 255],
    ['c_smallint', 'smallint', ['IntN', 2], -32768, -32768],
    ['c_int', 'int', ['IntN', 4], 2147483647, 2147483647],
    ['c_bigint', 'bigint', ['IntN', 8], '-9007199254740993', '-9007199254740993'],
    ['c_bit', 'bit', ['BitN', 1], 1, true],
    ['c_real', 'real', ['FloatN', 4], 0.5, 0.5],
    ['c_float', 'float', ['FloatN', 8], -1234.5678, -1234.5678],
    ['c_decimal', 'decimal(18,4)', ['DecimalN', 9], '-12345678901234.5678', -12345678901234.5678],
    ['c_numeric', 'numeric(10,2)', ['NumericN', 9], '12.50', 12.5],
    ['c_money', 'money', ['MoneyN', 8], '-922337203685477.5808', -922337203685477.5808],
    ['c_smallmoney', 'smallmoney', ['MoneyN', 4], '214748.3647', 214748.3647],
    ['c_datetime', 'datetime', ['DateTimeN', 8], "'2017-12-31T23:59:59.997'", new Date('2017-12-31T23:59:59.997Z')],
    ['c_smalldatetime', 'smalldatetime', ['DateTimeN', 4], "'2017-12-31T23:59:00'", new Date('2017-12-31T23:59:00Z')],
    ['c_date', 'date', ['Date', null], "'2018-01-01'", new Date('2018-01-01T00:00:00Z')],
    ['c_time', 'time(3)', ['Time', null], "'23:59:59.123'", new Date('1970-01-01T23:59:59.123Z')],
    ['c_datetime2', 'datetime2(7)', ['DateTime2', null], "'2018-01-01T10:20:30.1230000'", new Date('2018-01-01T10:20:30.123Z')],
    ['c_datetimeoffset', 'datetimeoffset(7)', ['DateTimeOffset', null], "'2018-01-01T10:20:30.123+03:00'", new Date('2018-01-01T07:20:30.123Z')],
    ['c_char', 'char(5)', ['Char', 5], "'ab'", 'ab   '],
    ['c_varchar', 'varchar(20)', ['VarChar', 20], "'ÇĞİÖŞÜ'", 'ÇĞİÖŞÜ'],
    ['c_nchar', 'nchar(3)', ['NChar', 6], "N'ş'", 'ş  '],
    ['c_nvarchar', 'nvarchar(20)', ['NVarChar', 40], "N'Ağaç 😀'", 'Ağaç 😀'],
    ['c_text', 'text', ['Text', 2147483647], "'metin ğ'", 'metin ğ'],
    ['c_ntext', 'ntext', ['NText', 2147483646], "N'uzun ş'", 'uzun ş'],
    ['c_binary', 'binary(4)', ['Binary', 4], '0x0102', Buffer.from([1, 2, 0, 0])],
    ['c_varbinary', 'varbinary(4)', ['VarBinary', 4], '0xDEADBEEF', Buffer.from([0xde, 0xad, 0xbe, 0xef])],
    ['c_image', 'image', ['Image', 2147483647], '0x00FF', Buffer.from([0, 0xff])],
    ['c_guid', 'uniqueidentifier', ['UniqueIdentifier', 16], "'6F9619FF-8B86-D011-B42D-00C04FC964FF'", '6F9619FF-8B86-D011-B42D-00C04FC964FF'],
    ['c_varchar_max', 'varchar(max)', ['VarChar', 65535], "'büyük ğ'", 'büyük ğ'],
    ['c_nvarchar_max', 'nvarchar(max)', ['NVarChar', 65535], "N'büyük ş'", 'büyük ş'],
    ['c_varbinary_max', 'varbinary(max)', ['VarBinary', 65535], '0xCAFE', Buffer.from([0xca, 0xfe])],
  ];

  test('every column type comes with its metadata, its value and NULL', async () => {
    const c = await connect('KONTROL');
    await run(c, `CREATE TABLE TIPLER (ID int NOT NULL, ${columns.map(([n, t]) => `${n} ${t}`).join(', ')})`);
    await run(c, `INSERT INTO TIPLER VALUES (1, ${columns.map((col) => col[3]).join(', ')})`);
    await run(c, `INSERT INTO TIPLER (ID) VALUES (2)`);
    const { rows, columns: meta } = await run(c, 'SELECT * FROM TIPLER ORDER BY ID');
    assert.equal(meta[0].type.name, 'Int');  // NOT NULL: the fixed-length form
    assert.equal(meta[0].flags & 1, 0);
    for (const [i, [name, , wire, , value]] of columns.entries()) {
      const column = meta[i + 1];
      assert.equal(column.colName, name);
      assert.deepEqual([column.type.name, column.dataLength ?? null], wire, name);
      assert.equal(column.flags & 1, 1, `${name} is nullable`);
      assert.deepEqual(rows[0][name], value, name);
      assert.equal(rows[1][name], null, name);
    }
    assert.deepEqual([meta[8].precision, meta[8].scale], [18, 4]);
    assert.deepEqual([meta[15].scale, meta[17].scale], [3, 7]);
  });

  test('a literal past 4,000 characters is nvarchar(max) and LEN counts UTF-16 units', async () => {
    const c = await connect();
    const long = 'ş'.repeat(4001);
    const { rows, columns: meta } = await run(c, `SELECT N'${long}' AS uzun, LEN(N'😀') AS n, DATALENGTH(N'😀') AS d`);
    assert.equal(rows[0].uzun, long);
    assert.equal(meta[0].dataLength, 65535);
    assert.deepEqual([rows[0].n, rows[0].d], [2, 4]);
  });
});

describe('errors', () => {
  test('carry their number and the line within the batch, and the batch goes on', async () => {
    const c = await connect();
    const seen = [];
    const err = await run(c, "SELECT 1 AS a\nSELECT * FROM YOKTABLO", [], (r) => r.on('row', () => seen.push('row')))
      .then(() => null, (e) => e);
    assert.equal(err.number, 208);
    assert.equal(err.lineNumber, 2);
    assert.equal(err.message, "Invalid object name 'YOKTABLO'.");
    assert.deepEqual(seen, ['row']);
  });

  test('are SQL Server\'s for arithmetic, conversions and syntax', async () => {
    const c = await connect();
    for (const [text, number] of [['SELECT 1 +', 102], ['SELECT 1/0', 8134], ["SELECT CAST('abc' AS int)", 245],
                                  ["SELECT CAST('x' AS datetime)", 241], ["RAISERROR('dur %d', 16, 1, 5)", 50000]]) {
      const err = await run(c, text).then(() => null, (e) => e);
      assert.equal(err && err.number, number, text);
    }
  });
});

describe('cancel', () => {
  test('during streamed rows: the request ends as cancelled and the connection goes on', async () => {
    const c = await connect();
    let n = 0;
    const err = await run(c, 'SELECT * FROM STOKHAREKET, STOKHAREKET B', [], (r) =>
      r.on('row', () => { if (++n === 5) c.cancel(); })).then(() => null, (e) => e);
    assert.equal(err.code, 'ECANCEL');
    assert.deepEqual((await run(c, 'SELECT 2 AS b')).rows, [{ b: 2 }]);
  });

  test('during a statement with no output, as a request timeout does', async () => {
    const c = await connect();
    const started = run(c, "WAITFOR DELAY '00:00:30'").then(() => null, (e) => e);
    setTimeout(() => c.cancel(), 200);
    assert.equal((await started).code, 'ECANCEL');
    const timedOut = await new Promise((resolve) => {
      const request = new Request("WAITFOR DELAY '00:00:30'", (e) => resolve(e));
      request.setTimeout(300);
      c.execSqlBatch(request);
    });
    assert.equal(timedOut.code, 'ETIMEOUT');
    assert.deepEqual((await run(c, 'SELECT 3 AS c')).rows, [{ c: 3 }]);
  });

  test('after the reply has ended changes nothing', async () => {
    const c = await connect();
    assert.deepEqual((await run(c, 'SELECT 4 AS d')).rows, [{ d: 4 }]);
    c.cancel();
    assert.deepEqual((await run(c, 'SELECT 5 AS e')).rows, [{ e: 5 }]);
  });
});

describe('transactions', () => {
  const count = async (c) => (await run(c, "SELECT COUNT(*) AS n FROM DEPO WHERE KODU LIKE N'TX%'")).rows[0].n;

  test('unnamed requests begin, commit and roll back', async () => {
    const c = await connect();
    await transaction(c, 'beginTransaction');
    await run(c, "INSERT INTO DEPO (KODU, ADI) VALUES (N'TX1', N'x')");
    await transaction(c, 'rollbackTransaction');
    assert.equal(await count(c), 0);
    await transaction(c, 'beginTransaction');
    await run(c, "INSERT INTO DEPO (KODU, ADI) VALUES (N'TX2', N'x')");
    await transaction(c, 'commitTransaction');
    assert.equal(await count(c), 1);
  });

  test('named requests and savepoints', async () => {
    const c = await connect();
    await transaction(c, 'beginTransaction', 'dış işlem', ISOLATION_LEVEL.READ_COMMITTED);
    await run(c, "INSERT INTO DEPO (KODU, ADI) VALUES (N'TX3', N'x')");
    await transaction(c, 'saveTransaction', 'nokta');
    await run(c, "INSERT INTO DEPO (KODU, ADI) VALUES (N'TX4', N'x')");
    await transaction(c, 'rollbackTransaction', 'nokta');
    assert.equal((await run(c, 'SELECT @@TRANCOUNT AS t')).rows[0].t, 1);
    const err = await transaction(c, 'rollbackTransaction', 'başka').then(() => null, (e) => e);
    assert.equal(err && err.number, 6401);
    await transaction(c, 'commitTransaction', 'dış işlem');
    assert.equal(await count(c), 2);
  });
});

describe('RPC', () => {
  const parameters = [
    ['p_tinyint', TYPES.TinyInt, 200, 200],
    ['p_smallint', TYPES.SmallInt, -300, -300],
    ['p_int', TYPES.Int, 70000, 70000],
    ['p_bigint', TYPES.BigInt, '9007199254740993', '9007199254740993'],
    ['p_bit', TYPES.Bit, true, true],
    ['p_real', TYPES.Real, 1.5, 1.5],
    ['p_float', TYPES.Float, 0.1, 0.1],
    ['p_decimal', TYPES.Decimal, 12.345, 12.345, { precision: 10, scale: 3 }],
    ['p_numeric', TYPES.Numeric, -7.5, -7.5, { precision: 5, scale: 1 }],
    ['p_money', TYPES.Money, 1234.5678, 1234.5678],
    ['p_smallmoney', TYPES.SmallMoney, -2.25, -2.25],
    ['p_datetime', TYPES.DateTime, new Date('2017-12-31T23:59:59.997Z')],
    ['p_smalldatetime', TYPES.SmallDateTime, new Date('2017-12-31T23:59:00Z')],
    ['p_date', TYPES.Date, new Date('2018-01-01T00:00:00Z')],
    ['p_time', TYPES.Time, new Date('1970-01-01T10:20:30.456Z'), undefined, { scale: 3 }],
    ['p_datetime2', TYPES.DateTime2, new Date('2018-01-02T03:04:05.678Z')],
    ['p_datetimeoffset', TYPES.DateTimeOffset, new Date('2018-01-02T03:04:05.678Z')],
    ['p_char', TYPES.Char, 'ab', 'ab   ', { length: 5 }],
    ['p_varchar', TYPES.VarChar, 'ÇĞİÖŞÜ'],
    ['p_nchar', TYPES.NChar, 'ş', 'ş ', { length: 2 }],
    ['p_nvarchar', TYPES.NVarChar, 'Ağaç 😀'],
    ['p_nvarchar_max', TYPES.NVarChar, 'x'.repeat(5000), undefined, { length: Infinity }],
    ['p_text', TYPES.Text, 'metin'],
    ['p_ntext', TYPES.NText, 'uzun ş'],
    ['p_binary', TYPES.Binary, Buffer.from([1, 2, 3]), undefined, { length: 3 }],
    ['p_varbinary', TYPES.VarBinary, Buffer.from([0xde, 0xad])],
    ['p_image', TYPES.Image, Buffer.from([0, 0xff])],
    ['p_guid', TYPES.UniqueIdentifier, '6F9619FF-8B86-D011-B42D-00C04FC964FF'],
  ];

  test('parameters of every type come back as they went, NULL too', async () => {
    const c = await connect();
    const select = `SELECT ${parameters.map(([n]) => `@${n} AS ${n}`).join(', ')}`;
    const given = await run(c, select, parameters.map(([n, t, v, , o]) => [n, t, v, o]));
    for (const [name, , value, expected] of parameters) {
      assert.deepEqual(given.rows[0][name], expected === undefined ? value : expected, name);
    }
    const nulls = await run(c, select, parameters.map(([n, t, , , o]) => [n, t, null, o]));
    for (const [name] of parameters) assert.equal(nulls.rows[0][name], null, name);
  });

  test('prepared statements run until unprepared', async () => {
    const c = await connect();
    const request = new Request('SELECT @x * 2 AS y', () => {});
    request.addParameter('x', TYPES.Int);
    const rows = [];
    request.on('row', (cells) => rows.push(cells[0].value));
    await new Promise((resolve, reject) => { request.on('prepared', resolve); request.on('error', reject); c.prepare(request); });
    for (const x of [3, 4]) {
      await new Promise((resolve) => { request.once('requestCompleted', resolve); c.execute(request, { x }); });
    }
    await new Promise((resolve) => { request.once('requestCompleted', resolve); c.unprepare(request); });
    assert.deepEqual(rows, [6, 8]);
  });

  test('mssql with default settings: pool, parameters, transactions', async () => {
    const pool = await new sql.ConnectionPool(`Server=127.0.0.1,${port};Database=E2017;User Id=sa;Password=qolvanet`).connect();
    try {
      const { recordset } = await pool.request().input('k', sql.NVarChar, 'yok').query('SELECT COUNT(*) AS n FROM DEPO WHERE KODU = @k');
      assert.deepEqual(recordset, [{ n: 0 }]);
      const tx = pool.transaction();
      await tx.begin();
      await tx.request().query("INSERT INTO DEPO (KODU, ADI) VALUES (N'MS1', N'x')");
      await tx.rollback();
      const results = await Promise.all([...Array(12).keys()].map((i) => pool.request().input('i', sql.Int, i).query('SELECT @i AS i')));
      assert.deepEqual(results.map((r) => r.recordset[0].i), [...Array(12).keys()]);
    } finally {
      await pool.close();
    }
  });
});

describe('concurrency and reset', () => {
  test('24 writers in transactions wait for each other instead of failing', async () => {
    const connections = await Promise.all([...Array(24).keys()].map(() => connect()));
    await Promise.all(connections.map(async (c, i) => {
      for (let round = 0; round < 3; ++round) {
        await transaction(c, 'beginTransaction');
        await run(c, "SELECT COUNT(*) AS n FROM DEPO\nUPDATE DEPO SET ADI = ADI WHERE KODU = N'TX2'");
        await run(c, `INSERT INTO DEPO (KODU, ADI) VALUES (N'W${i}-${round}', N'x')`);
        await transaction(c, round === 2 ? 'commitTransaction' : 'rollbackTransaction');
      }
    }));
    const { rows } = await run(connections[0], "SELECT COUNT(*) AS n FROM DEPO WHERE KODU LIKE N'W%'");
    assert.equal(rows[0].n, 24);
  });

  test('a reset returns to the login database and default options', async () => {
    const c = await connect();
    await run(c, 'USE master\nSET LOCK_TIMEOUT 100\nSET DATEFORMAT dmy');
    let acknowledged = false;
    c.once('resetConnection', () => { acknowledged = true; });
    await new Promise((resolve, reject) => c.reset((err) => (err ? reject(err) : resolve())));
    assert.ok(acknowledged);
    const { rows } = await run(c, 'SELECT DB_NAME() AS db, @@LOCK_TIMEOUT AS lt');
    assert.deepEqual(rows, [{ db: 'E2017', lt: -1 }]);
  });
});
