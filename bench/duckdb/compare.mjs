// The comparison a DuckDB user would write: both files read as text, a full outer join on the first
// column, and IS DISTINCT FROM on every other column. Prints the counts as one JSON object.
//
// Usage: node compare.mjs A.csv B.csv

import { DuckDBInstance } from '@duckdb/node-api';

const [left, right] = process.argv.slice(2);
const quoted = (name) => `"${name.replaceAll('"', '""')}"`;
const source = (path) => `read_csv('${path.replaceAll("'", "''")}', all_varchar = true, header = true)`;

const instance = await DuckDBInstance.create(':memory:');
const connection = await instance.connect();
const described = await connection.runAndReadAll(`DESCRIBE SELECT * FROM ${source(left)}`);
const columns = described.getRowObjects().map((row) => row.column_name);
const [key, ...fields] = columns.map(quoted);
const differs = fields.map((field) => `a.${field} IS DISTINCT FROM b.${field}`).join(' OR ');
const result = await connection.runAndReadAll(`
  SELECT count(*) FILTER (WHERE a.${key} IS NOT NULL AND b.${key} IS NOT NULL AND (${differs})) AS changed,
         count(*) FILTER (WHERE b.${key} IS NULL) AS onlyLeft,
         count(*) FILTER (WHERE a.${key} IS NULL) AS onlyRight
  FROM ${source(left)} AS a FULL OUTER JOIN ${source(right)} AS b ON a.${key} = b.${key}`);
const [counts] = result.getRowObjects();
console.log(JSON.stringify(Object.fromEntries(Object.entries(counts).map(([name, value]) => [name, Number(value)]))));
