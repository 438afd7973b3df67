// A small static server for the page in build-web/, with the right type for .wasm. It sends the
// headers that make the page cross-origin isolated (COOP same-origin, COEP require-corp), so
// that it may share memory with its engine's threads; without them the page runs the engine
// on one thread.
//   node web/serve.mjs [port] [--one-thread]     (port 8080 by default; 0 picks a free one)
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { extname, join, normalize } from "node:path";
import { fileURLToPath } from "node:url";

const root = fileURLToPath(new URL("../build-web/", import.meta.url));
const types = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".png": "image/png",
    ".wav": "audio/wav",
    ".json": "application/json",
};

// Serves on `port`; `isolated` false leaves out the isolation headers.
export function serve(port = 8080, { isolated = true } = {}) {
    const isolation = isolated
        ? {
              "Cross-Origin-Opener-Policy": "same-origin",
              "Cross-Origin-Embedder-Policy": "require-corp",
          }
        : {};
    const server = createServer(async (request, response) => {
        const path = normalize(decodeURIComponent(new URL(request.url, "http://x").pathname));
        const file = join(root, path === "/" ? "index.html" : path);
        if (!file.startsWith(root)) return response.writeHead(403).end();
        try {
            const body = await readFile(file);
            response.writeHead(200, {
                "Content-Type": types[extname(file)] ?? "application/octet-stream",
                ...isolation,
            });
            response.end(body);
        } catch {
            response.writeHead(404).end("not found");
        }
    });
    return new Promise((resolve) => server.listen(port, "127.0.0.1", () => resolve(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
    const port = Number(process.argv.slice(2).find((a) => /^\d+$/.test(a)) ?? 8080);
    const server = await serve(port, { isolated: !process.argv.includes("--one-thread") });
    console.log(`Sorvane: http://127.0.0.1:${server.address().port}/`);
}
