#!/usr/bin/env python3
"""Loopback stand-ins for the two speech services, for the tests.

Speaks the services' wire formats: OpenAI's POST /v1/audio/transcriptions
(multipart form) and /v1/chat/completions (JSON), Deepgram's POST /v1/listen
(raw audio). Answers come from the project's fixtures in
tests/fixtures/services/. Requests are checked the way the real services check
them: a wrong key gets the vendor's 401 body, a malformed request its 400 body.

Usage:
  fake_services.py [--port N] [--port-file PATH] [--log PATH]
                   [--openai-key KEY] [--deepgram-key KEY]
                   [--transcription-text TEXT] [--deepgram-transcript TEXT]
                   [--cleanup-content TEXT]
                   [--answer ENDPOINT=STATUS[:FIXTURE]]...
                   [--drop ENDPOINT=COUNT]... [--delay SECONDS]

ENDPOINT is transcription, chat or listen. --answer replies with that status and
the body of FIXTURE (a file name in the fixtures folder, or a path; empty body
when omitted) without looking at the request. --drop closes the connection
without an answer for the first COUNT requests to the endpoint. --port-file
receives the port once the server listens; --log receives one JSON object per
request (endpoint, path, query, headers, body size and, when they parse, the
form fields or the JSON body).
"""

import argparse
import hashlib
import json
import os
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FIXTURES = os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fixtures", "services"))

ENDPOINTS = {
    "/v1/audio/transcriptions": "transcription",
    "/v1/chat/completions": "chat",
    "/v1/listen": "listen",
}


def fixture_bytes(name):
    path = name if os.path.isabs(name) or os.path.exists(name) else os.path.join(FIXTURES, name)
    with open(path, "rb") as f:
        return f.read()


def fixture_json(name):
    return json.loads(fixture_bytes(name))


def parse_multipart(content_type, body):
    """Strict multipart/form-data parser. Returns the parts in order, or raises ValueError."""
    match = re.fullmatch(r'multipart/form-data; boundary=([^\s;]+)', content_type or "")
    if not match:
        raise ValueError("Content-Type is not multipart/form-data with a boundary")
    delimiter = b"--" + match.group(1).encode()
    if not body.startswith(delimiter + b"\r\n"):
        raise ValueError("body does not open with the boundary")
    if not body.endswith(b"\r\n" + delimiter + b"--\r\n"):
        raise ValueError("body does not close with the final boundary")
    inner = body[len(delimiter) + 2:-(len(delimiter) + 6)]
    parts = []
    for chunk in inner.split(b"\r\n" + delimiter + b"\r\n"):
        head, separator, content = chunk.partition(b"\r\n\r\n")
        if not separator:
            raise ValueError("part without a blank line after its headers")
        headers = {}
        for line in head.split(b"\r\n"):
            name, colon, value = line.decode("utf-8").partition(":")
            if not colon:
                raise ValueError("malformed part header: %r" % line)
            headers[name.strip().lower()] = value.strip()
        disposition = re.fullmatch(r'form-data; name="([^"]*)"(?:; filename="([^"]*)")?',
                                   headers.get("content-disposition", ""))
        if not disposition:
            raise ValueError("part without form-data disposition")
        parts.append({
            "name": disposition.group(1),
            "filename": disposition.group(2),
            "content_type": headers.get("content-type"),
            "content": content,
        })
    return parts


class Behaviour:
    def __init__(self, options):
        self.options = options
        self.answers = {}
        for option in options.answer:
            endpoint, _, rest = option.partition("=")
            status, _, name = rest.partition(":")
            self.answers[endpoint] = (int(status), fixture_bytes(name) if name else b"")
        self.drops = {}
        for option in options.drop:
            endpoint, _, count = option.partition("=")
            self.drops[endpoint] = int(count or "1")
        self.lock = threading.Lock()

    def should_drop(self, endpoint):
        with self.lock:
            left = self.drops.get(endpoint, 0)
            if left > 0:
                self.drops[endpoint] = left - 1
                return True
            return False


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FakeServices/1.0"

    def log_message(self, format, *args):
        pass

    def do_POST(self):
        behaviour = self.server.behaviour
        url = urllib.parse.urlsplit(self.path)
        endpoint = ENDPOINTS.get(url.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)

        entry = {
            "endpoint": endpoint,
            "path": url.path,
            "query": urllib.parse.parse_qsl(url.query, keep_blank_values=True),
            "headers": dict(self.headers.items()),
            "body_size": len(body),
            "body_sha256": hashlib.sha256(body).hexdigest(),
        }

        if endpoint is None:
            self.record(entry, 404)
            return self.reply(404, b'{"error":"not found"}')
        if behaviour.should_drop(endpoint):
            self.record(entry, "dropped")
            self.close_connection = True
            return
        if behaviour.options.delay:
            time.sleep(behaviour.options.delay)

        handler = {"transcription": self.transcription, "chat": self.chat, "listen": self.listen}[endpoint]
        status, answer = handler(body, url, entry)
        if endpoint in behaviour.answers:
            status, answer = behaviour.answers[endpoint]
        self.record(entry, status)
        self.reply(status, answer)

    # ----------------------------------------------------------- endpoints

    def openai_key_ok(self):
        expected = self.server.behaviour.options.openai_key
        return expected is None or self.headers.get("Authorization") == "Bearer " + expected

    def transcription(self, body, url, entry):
        try:
            parts = parse_multipart(self.headers.get("Content-Type"), body)
            entry["form"] = [{"name": p["name"], "filename": p["filename"], "content_type": p["content_type"],
                              "size": len(p["content"]),
                              "value": None if p["filename"] else p["content"].decode("utf-8")} for p in parts]
        except ValueError as problem:
            entry["problem"] = str(problem)
            parts = None
        if not self.openai_key_ok():
            return 401, fixture_bytes("openai_error_401.json")
        files = [p for p in parts or [] if p["name"] == "file" and p["filename"]]
        models = [p for p in parts or [] if p["name"] == "model"]
        if parts is None or len(files) != 1 or len(models) != 1 or not files[0]["content"]:
            return 400, fixture_bytes("openai_error_400.json")
        answer = fixture_json("openai_transcription_ok.json")
        if self.server.behaviour.options.transcription_text is not None:
            answer["text"] = self.server.behaviour.options.transcription_text
        return 200, json.dumps(answer).encode()

    def chat(self, body, url, entry):
        try:
            request = json.loads(body)
            entry["json"] = request
        except ValueError as problem:
            entry["problem"] = str(problem)
            request = None
        if not self.openai_key_ok():
            return 401, fixture_bytes("openai_error_401.json")
        if not isinstance(request, dict) or not isinstance(request.get("messages"), list) \
                or not isinstance(request.get("model"), str):
            return 400, fixture_bytes("openai_error_400.json")
        answer = fixture_json("openai_chat_ok.json")
        if self.server.behaviour.options.cleanup_content is not None:
            answer["choices"][0]["message"]["content"] = self.server.behaviour.options.cleanup_content
        return 200, json.dumps(answer).encode()

    def listen(self, body, url, entry):
        expected = self.server.behaviour.options.deepgram_key
        if expected is not None and self.headers.get("Authorization") != "Token " + expected:
            return 401, fixture_bytes("deepgram_error_401.json")
        if not body or "model" not in dict(entry["query"]):
            return 400, fixture_bytes("deepgram_error_400.json")
        answer = fixture_json("deepgram_listen_ok.json")
        if self.server.behaviour.options.deepgram_transcript is not None:
            transcript = self.server.behaviour.options.deepgram_transcript
            alternative = answer["results"]["channels"][0]["alternatives"][0]
            alternative["transcript"] = transcript
            alternative["words"] = [{"word": w.lower().strip(".,!?"), "start": i * 0.4, "end": i * 0.4 + 0.35,
                                     "confidence": 0.98, "punctuated_word": w}
                                    for i, w in enumerate(transcript.split())]
        return 200, json.dumps(answer).encode()

    # ------------------------------------------------------------- helpers

    def record(self, entry, status):
        entry["status"] = status
        log = self.server.behaviour.options.log
        if log:
            with self.server.behaviour.lock, open(log, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")

    def reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True


def main(argv=None):
    parser = argparse.ArgumentParser(description="Loopback fakes of the speech services.")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--openai-key")
    parser.add_argument("--deepgram-key")
    parser.add_argument("--transcription-text")
    parser.add_argument("--deepgram-transcript")
    parser.add_argument("--cleanup-content")
    parser.add_argument("--answer", action="append", default=[])
    parser.add_argument("--drop", action="append", default=[])
    parser.add_argument("--delay", type=float, default=0.0)
    options = parser.parse_args(argv)

    server = ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.daemon_threads = True
    server.behaviour = Behaviour(options)
    port = server.server_address[1]
    if options.port_file:
        temporary = options.port_file + ".tmp"
        with open(temporary, "w") as f:
            f.write(str(port))
        os.replace(temporary, options.port_file)
    print("fake services listening on 127.0.0.1:%d" % port, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
