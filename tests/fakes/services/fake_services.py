#!/usr/bin/env python3
"""Loopback stand-ins for the two speech services, for the tests.

OpenAI's POST /v1/audio/transcriptions (multipart) and /v1/chat/completions,
Deepgram's POST /v1/listen and its live WebSocket on GET /v1/listen, all on one
port, answering from tests/fixtures/services/ and checking requests as the
services do (a wrong key gets the 401 body, a malformed request the 400 body).

--answer ENDPOINT=STATUS[:FIXTURE] answers that endpoint (transcription, chat
or listen) without looking at the request; --drop ENDPOINT=COUNT closes the
first COUNT connections without an answer. --log gets one JSON line per
request; a live stream's line, written when it ends, says what the client sent.

The live endpoint sends an interim of the transcript's first half after one
second of audio, that half as final after two, interims of the rest after that,
and on {"type":"CloseStream"} the remaining final, "Metadata" and a close 1000.
"""

import argparse
import array
import base64
import hashlib
import json
import math
import os
import re
import struct
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


# ----------------------------------------------------------------- WebSocket
# The server side of RFC 6455 on the standard library alone, so the fake runs
# under whichever python3 runs the tests, with nothing to install.

WEBSOCKET_GUID = b"258EAFA5-E914-47DA-95CA-C5AB0DC85B11"
OP_CONTINUATION, OP_TEXT, OP_BINARY, OP_CLOSE, OP_PING, OP_PONG = 0x0, 0x1, 0x2, 0x8, 0x9, 0xA
PCM_BYTES_PER_SECOND = 16000 * 2


def read_frame(stream):
    """(fin, opcode, payload) of the next frame; EOFError when the peer is gone."""
    head = stream.read(2)
    if len(head) < 2:
        raise EOFError
    fin, opcode = bool(head[0] & 0x80), head[0] & 0x0F
    masked, length = bool(head[1] & 0x80), head[1] & 0x7F
    if length == 126:
        length = struct.unpack("!H", stream.read(2))[0]
    elif length == 127:
        length = struct.unpack("!Q", stream.read(8))[0]
    mask = stream.read(4) if masked else b""
    payload = stream.read(length)
    if len(payload) < length:
        raise EOFError
    if masked and length:
        key = (mask * (length // 4 + 1))[:length]
        payload = (int.from_bytes(payload, "big") ^ int.from_bytes(key, "big")).to_bytes(length, "big")
    return fin, opcode, payload


def write_frame(stream, opcode, payload=b""):
    length = len(payload)
    if length < 126:
        head = struct.pack("!BB", 0x80 | opcode, length)
    elif length < 1 << 16:
        head = struct.pack("!BBH", 0x80 | opcode, 126, length)
    else:
        head = struct.pack("!BBQ", 0x80 | opcode, 127, length)
    stream.write(head + payload)
    stream.flush()


def speech_span(pcm, threshold=300, window=320):
    """Seconds from the first to the last loud 20 ms window, read as 16 kHz mono s16le: audio of
    another format comes out longer, shorter or as noise, so this checks the format of what arrived."""
    samples = array.array("h")
    samples.frombytes(pcm[:len(pcm) - len(pcm) % 2])
    if sys.byteorder == "big":
        samples.byteswap()
    loud = [i for i in range(0, len(samples) - window + 1, window)
            if math.sqrt(sum(x * x for x in samples[i:i + window]) / window) > threshold]
    return (loud[-1] - loud[0] + window) / 16000 if loud else 0.0


class LiveSession:
    """One connection to the live endpoint: what the client sent and what it is told."""

    def __init__(self, handler, transcript):
        self.handler = handler
        words = transcript.split()
        half = (len(words) + 1) // 2
        self.segments = [" ".join(words[:half]), " ".join(words[half:])]
        self.finalised = 0  # segments already sent as final
        self.audio = bytearray()
        self.arrivals = []  # (monotonic time, bytes so far) per audio message
        self.entry = {"odd_messages": 0, "texts": [], "sent": [], "client_close_code": None}

    def send(self, opcode, payload):
        write_frame(self.handler.wfile, opcode, payload)

    def send_json(self, message):
        self.entry["sent"].append({"type": message["type"], "is_final": message.get("is_final"),
                                   "transcript": message.get("channel", {}).get("alternatives", [{}])[0]
                                   .get("transcript")})
        self.send(OP_TEXT, json.dumps(message).encode())

    def result(self, index, is_final, from_finalize=False):
        message = fixture_json("deepgram_stream_results.json")
        seconds = len(self.audio) / PCM_BYTES_PER_SECOND
        message.update({"is_final": is_final, "speech_final": is_final and not from_finalize,
                        "from_finalize": from_finalize, "start": 0.0, "duration": round(seconds, 3)})
        # The fixture's word timings stay: Quillo reads only the transcript.
        message["channel"]["alternatives"][0]["transcript"] = self.segments[index]
        self.send_json(message)

    def on_audio(self, payload):
        before = len(self.audio) // PCM_BYTES_PER_SECOND
        self.audio += payload
        self.arrivals.append((time.monotonic(), len(self.audio)))
        self.entry["odd_messages"] += len(payload) % 2
        # Results come about once a second of audio, like the service's.
        for second in range(before + 1, len(self.audio) // PCM_BYTES_PER_SECOND + 1):
            if second == 1:
                self.result(0, False)
            elif second == 2:
                self.result(0, True)
                self.finalised = 1
            elif self.segments[1]:
                self.result(1, False)

    def on_close_stream(self):
        # Like the service, words only for audio that arrived: a stream that
        # carried none gets its metadata and nothing else.
        for index in range(self.finalised, 2 if self.audio else 0):
            if self.segments[index]:
                self.result(index, True, from_finalize=True)
        self.finalised = 2
        metadata = fixture_json("deepgram_stream_metadata.json")
        metadata["duration"] = round(len(self.audio) / PCM_BYTES_PER_SECOND, 3)
        self.send_json(metadata)
        self.send(OP_CLOSE, struct.pack("!H", 1000))

    def run(self):
        """Reads frames until the client closes or goes away."""
        stream = self.handler.rfile
        message, message_opcode = b"", None
        closing = False
        try:
            while True:
                fin, opcode, payload = read_frame(stream)
                if opcode == OP_PING:
                    self.send(OP_PONG, payload)
                    continue
                if opcode == OP_PONG:
                    continue
                if opcode == OP_CLOSE:
                    self.entry["client_close_code"] = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 \
                        else None
                    if not closing:
                        self.send(OP_CLOSE, payload[:2])
                    return
                if opcode != OP_CONTINUATION:
                    message, message_opcode = b"", opcode
                message += payload
                if not fin:
                    continue
                if message_opcode == OP_BINARY:
                    self.on_audio(message)
                elif message_opcode == OP_TEXT:
                    text = message.decode("utf-8", errors="replace")
                    self.entry["texts"].append(text)
                    if text == '{"type":"CloseStream"}' and not closing:
                        self.on_close_stream()
                        closing = True
        except (EOFError, OSError, struct.error):
            pass

    def summary(self):
        entry = dict(self.entry)
        entry["audio_bytes"] = len(self.audio)
        # The rate over the second half of the stream: audio captured while the
        # connection was being opened arrives in one burst at the start, and
        # the tail of the speech arrives in one short message at the end.
        timed = self.arrivals[:-1]
        entry["bytes_per_second"] = None
        if len(timed) >= 3:
            (start, start_bytes), (end, end_bytes) = timed[len(timed) // 2], timed[-1]
            if end > start:
                entry["bytes_per_second"] = round((end_bytes - start_bytes) / (end - start))
        entry["speech_seconds"] = round(speech_span(bytes(self.audio)), 3)
        return entry


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

    def new_entry(self, endpoint_for_path):
        url = urllib.parse.urlsplit(self.path)
        return url, {"endpoint": endpoint_for_path.get(url.path), "path": url.path,
                     "query": urllib.parse.parse_qsl(url.query, keep_blank_values=True),
                     "headers": dict(self.headers.items())}

    def do_GET(self):
        _, entry = self.new_entry({"/v1/listen": "stream"})
        key = self.headers.get("Sec-WebSocket-Key")
        if entry["endpoint"] is None or (self.headers.get("Upgrade") or "").lower() != "websocket" or not key:
            status = 404 if entry["endpoint"] is None else 400
            self.record(entry, status)
            return self.reply(status, b'{"error":"not a WebSocket request"}')
        if not self.deepgram_key_ok():  # the service refuses the upgrade itself
            self.record(entry, 401)
            return self.reply(401, fixture_bytes("deepgram_error_401.json"))

        accept = base64.b64encode(hashlib.sha1(key.encode() + WEBSOCKET_GUID).digest()).decode()
        self.send_response(101)
        self.send_header("Upgrade", "websocket")
        self.send_header("Connection", "Upgrade")
        self.send_header("Sec-WebSocket-Accept", accept)
        self.send_header("dg-request-id", "5be0d7a3-94c2-4f1e-8a6d-2c71e9f04b38")
        self.end_headers()
        self.wfile.flush()
        # A client that vanishes without closing must not keep this thread forever.
        self.connection.settimeout(30)

        options = self.server.behaviour.options
        transcript = options.stream_transcript
        if transcript is None:
            transcript = fixture_json("deepgram_stream_results.json")["channel"]["alternatives"][0]["transcript"]
        session = LiveSession(self, transcript)
        session.run()
        entry.update(session.summary())
        self.record(entry, 101)
        self.close_connection = True

    def do_POST(self):
        behaviour = self.server.behaviour
        url, entry = self.new_entry(ENDPOINTS)
        endpoint = entry["endpoint"]
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        entry.update({"body_size": len(body), "body_sha256": hashlib.sha256(body).hexdigest()})

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

    def deepgram_key_ok(self):
        expected = self.server.behaviour.options.deepgram_key
        return expected is None or self.headers.get("Authorization") == "Token " + expected

    def transcription(self, body, url, entry):
        try:
            parts = parse_multipart(self.headers.get("Content-Type"), body)
            entry["form"] = [{"name": p["name"], "filename": p["filename"], "content_type": p["content_type"],
                              "size": len(p["content"]),
                              "value": None if p["filename"] else p["content"].decode("utf-8")} for p in parts]
        except ValueError:
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
        except ValueError:
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
        if not self.deepgram_key_ok():
            return 401, fixture_bytes("deepgram_error_401.json")
        if not body or "model" not in dict(entry["query"]):
            return 400, fixture_bytes("deepgram_error_400.json")
        answer = fixture_json("deepgram_listen_ok.json")
        if self.server.behaviour.options.deepgram_transcript is not None:
            answer["results"]["channels"][0]["alternatives"][0]["transcript"] = \
                self.server.behaviour.options.deepgram_transcript
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
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--openai-key")
    parser.add_argument("--deepgram-key")
    parser.add_argument("--transcription-text")
    parser.add_argument("--deepgram-transcript")
    parser.add_argument("--cleanup-content")
    parser.add_argument("--stream-transcript")
    parser.add_argument("--answer", action="append", default=[])
    parser.add_argument("--drop", action="append", default=[])
    parser.add_argument("--delay", type=float, default=0.0)
    options = parser.parse_args(argv)

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
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
