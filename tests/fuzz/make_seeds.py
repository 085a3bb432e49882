#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into corpus/<harness>/.

Each seed is a meaningful input: real answer frames of the instrument in both protocols,
settings files as the program writes them and as people edit them, product pages. Run it
from anywhere; it rewrites the seeds it knows and leaves other files (found crashes kept as
regression seeds) alone.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def frame(*parts):
    body = b"".join(bytes(p) if not isinstance(p, bytes) else p for p in parts)
    return body + crc16(body)


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- answer: command, flags, LengthIn, fields, answer bytes -------------------------------
# flags: bit 0 Modbus, bit 1 protocol before a search, bits 2..4 state (0 10 11 17 18 30 by
# index), bits 5..6 selected parameter, bit 7 CRC made right by the harness.
# fields: bits 0..2 ticked parameters, bit 3 relay 2, bit 4 16-bit setpoints, bits 5..7 the
# text of the parameter page's fields.
CMD = {n: i for i, n in enumerate(
    "SetPar GetPar SetMode GetMode GetVal SetBright GetBright SetAdr GetAdr SetInfo GetInfo "
    "SetUst1 GetUst1 SetUst2 GetUst2 GetYear SetYear SetNumberOfProduce GetNumberOfProduce "
    "SetYearMB GetTypeProt SetTypeProt SetSpeed GetSpeed SetSpeed2 GetIEC SetIEC "
    "GetSpeakerMode SetSpeakerMode GetRelayParams GetRelayGist SetRelayParams SetRelayGist "
    "GetVersForUst1 GetVersForUst2 GetVersForUst11 GetVersForUst22 SetUst11 SetUst22".split())}
STATE = {0: 0, 10: 1, 11: 2, 17: 3, 18: 4, 30: 5}


def answer(name, command, modbus, state, channel, fields, data, length=None, fix_crc=False):
    flags = (1 if modbus else 0) | STATE[state] << 2 | channel << 5 | (0x80 if fix_crc else 0)
    write("answer", name, bytes([CMD[command], flags, len(data) if length is None else length, fields]) + data)


be = lambda v: struct.pack(">f", v)
info = "Щит 3, ввод 1".encode("cp1251").ljust(64, b"\0")
A = [1, 0]  # QV address 1, low byte first
# QV answers
answer("qv_getval", "GetVal", 0, 11, 1, 0x21, frame(A, [0x40], be(230.4), [0]))
answer("qv_getval_negative_p3", "GetVal", 0, 11, 3, 0x27, frame(A, [0x40], be(-12.5), [0]))
answer("qv_getval_noparam", "GetVal", 0, 11, 2, 0x23, frame(A, [0x40], be(0), [2]))
answer("qv_getpar_prepare", "GetPar", 0, 10, 1, 0x23, frame(A, [0x41], be(1000), [1, 1, 0]))
answer("qv_getpar_prepare_last", "GetPar", 0, 10, 3, 0x25, frame(A, [0x41], be(5), [5, 2, 0]))
answer("qv_getpar_page", "GetPar", 0, 0, 1, 0x20, frame(A, [0x41], be(600), [1, 3, 0]))
answer("qv_getpar_noparam", "GetPar", 0, 0, 1, 0x20, frame(A, [0x41], be(0), [0, 0, 2]))
answer("qv_getinfo", "GetInfo", 0, 0, 0, 0, frame(A, [0x45], info))
answer("qv_getyear", "GetYear", 0, 0, 0, 0, frame(A, [0x44, 24, 0x01, 0x2C, 7]))
answer("qv_getadr", "GetAdr", 0, 0, 0, 0, frame([7, 0, 0x4A]))
answer("qv_getbright", "GetBright", 0, 0, 0, 0, frame(A, [0x43, 2]))
answer("qv_getust1", "GetUst1", 0, 0, 0, 0, frame(A, [0x46, 0xF6]))
answer("qv_setyear_refused", "SetYear", 0, 0, 0, 0, frame(A, [0x0F, 10]))
answer("qv_setnumber_then_year", "SetNumberOfProduce", 0, 30, 0, 0x20, frame(A, [0x31, 0]))
answer("qv_search", "GetTypeProt", 0, 17, 0, 0, frame([5, 0, 0xFF, 0, 0]))
answer("qv_switch", "SetTypeProt", 0, 0, 0, 0, frame(A, [0xFE, 0]))
answer("qv_bad_crc", "GetVal", 0, 11, 1, 0x21, frame(A, [0x40], be(1), [0])[:-1] + b"\0")
# Modbus RTU answers, before the rewrite
M = [1]
answer("mb_getval", "GetVal", 1, 11, 1, 0x21, frame(M, [3, 4], be(230.4)[2:], be(230.4)[:2]))
answer("mb_getpar_prepare", "GetPar", 1, 10, 1, 0x23,
       frame(M, [3, 8], be(1000)[2:], be(1000)[:2], [0, 1, 0, 1]))
answer("mb_getyear", "GetYear", 1, 0, 0, 0, frame(M, [3, 12, 0, 0, 0, 0, 0, 0, 0, 7, 0x01, 0x2C, 0, 24]))
answer("mb_getinfo", "GetInfo", 1, 0, 0, 0, frame(M, [3, 64], info))
answer("mb_getadr", "GetAdr", 1, 0, 0, 0, frame(M, [3, 2, 0, 7]))
answer("mb_getbright", "GetBright", 1, 0, 0, 0, frame(M, [3, 2, 0, 1]))
answer("mb_getiec", "GetIEC", 1, 0, 0, 0, frame(M, [3, 8, 0, 2, 0, 1, 0, 2, 0, 9]))
answer("mb_getspeaker", "GetSpeakerMode", 1, 0, 0, 0, frame(M, [3, 2, 0, 1]))
answer("mb_getrelayparams_r2", "GetRelayParams", 1, 0, 0, 0x08,
       frame(M, [3, 16, 0, 1, 0, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0x01, 0xF4]))
answer("mb_getrelaygist", "GetRelayGist", 1, 0, 0, 0, frame(M, [3, 8], be(1.5)[2:], be(1.5)[:2], be(2)[2:], be(2)[:2]))
answer("mb_getvers_ust11_wide", "GetVersForUst11", 1, 0, 0, 0x10, frame(M, [3, 2, 0x02, 0xC6]))
answer("mb_getvers_ust22_out_of_range", "GetVersForUst22", 1, 0, 0, 0x90, frame(M, [3, 2, 0, 0]))
answer("mb_getvers_ust1", "GetVersForUst1", 1, 0, 0, 0, frame(M, [3, 2, 0x02, 0xC6]))
answer("mb_getust2_wide", "GetUst2", 1, 0, 0, 0x10, frame(M, [3, 2, 0xFF, 0x10]))
answer("mb_setadr_ack", "SetAdr", 1, 0, 0, 0, frame(M, [6, 0x03, 0xEA, 0, 5]))
answer("mb_setrelayparams_ack", "SetRelayParams", 1, 0, 0, 0xC0, frame(M, [0x10, 0x02, 0x2A, 0, 4]))
answer("mb_search_answer", "GetTypeProt", 1, 18, 0, 0, frame([9, 0x77, 0, 1, 0]))
answer("mb_exception_noparam", "GetPar", 1, 0, 1, 0, frame(M, [0x83, 2]))
answer("mb_exception_protect", "SetInfo", 1, 0, 0, 0, frame(M, [0x90, 0x46]))
# Lengths no command has: past the answer buffer, and past the Modbus rewrite's own frame
# for a request without a Modbus form (both were read beyond their buffers once).
answer("mb_unknown_register_long", "GetMode", 1, 0, 0, 0, bytes([1, 3]) + bytes(range(118)), length=120, fix_crc=True)
answer("mb_long_length", "GetVal", 1, 11, 1, 0x21, frame(M, [3, 4], be(1)[2:], be(1)[:2]), length=200)

# --- packet: flags, max buffer / 4, size, start length, stop length, start, stop, chunks ---
def packet(name, flags, maxq, size, start, stop, chunks):
    data = bytes([flags, maxq, size, len(start), len(stop)]) + start + stop
    for c in chunks:
        data += bytes([len(c) - 1]) + c
    write("packet", name, data)


packet("stop_crlf", 1, 255, 0, b"", b"\r\n", [b"U=230.1\r", b"\nI=1.2\r\n", b"P="])
packet("start_stop", 1, 255, 0, b"$", b"*", [b"junk$GP", b"RMC,1*$x", b"*"])
packet("start_stop_stripped", 0, 255, 0, b"<", b">", [b"<a><b", b"c>"])
packet("fixed_size", 1, 16, 8, b"", b"", [b"0123456789", b"abcdef"])
packet("fixed_size_start_stop", 1, 16, 6, b"[", b"]", [b"x[abcd][ab", b"cd]", b"[1234x[5678]"])
packet("overflow", 1, 2, 0, b"", b"\n", [b"a" * 64, b"b" * 10, b"\n"])
packet("disabled", 3, 255, 0, b"", b"\n", [b"a\n"])

# --- profile: a byte choosing the written values, then the file ---------------------------
def profile(name, choice, text):
    write("profile", name, bytes([choice]) + text)


setup = b"[form]\nleft=120\ntop=80\n[Port]\nPort=COM3\nBaud=3\nPause=500\nprot=1\nSP=1\n[Update]\nUpdate=1\n"
profile("setup_cfg", 7, setup)
profile("setup_cfg_crlf_bom", 200, b"\xef\xbb\xbf" + setup.replace(b"\n", b"\r\n"))
profile("quoted_spaced_case", 130, b"[ port ]\n  PORT = \"/dev/ttyUSB0\" \nbaud='7'\n; comment\n[UPDATE]\nupdate=0\n")
profile("duplicates", 1, b"[Port]\nBaud=1\nBaud=2\n[Port]\nPause=9\n[form]\nleft=1\nleft=2\n")
profile("hex_and_junk", 66, b"[Port]\nBaud=0xFFFFFFFF\nPause=12abc\nno equals sign\n=value without key\n[Update\nUpdate=1\n")
profile("no_trailing_newline", 3, b"[Port]\nBaud=3")
profile("empty", 0, b"")
profile("invalid_utf8", 9, b"[Port]\nPort=\xff\xfe\xc3\nPause=\x80700\n[Fuzz]\n")

# --- version: key length, key, page ------------------------------------------------------
def version(name, key, page):
    write("version", name, bytes([len(key)]) + key + page)


page = ("<html><body><h1>Tessera_RS-485</h1><p>Версия Tessera_RS-485: 4.16 от 01.02.2025</p>"
        "</body></html>").encode()
version("product_page", b"", page)
version("product_page_own_key", b"Tessera_RS-485:", page)
version("key_at_end", b"Tessera_RS-485", b"<p>Tessera_RS-485 4")
version("arabic_indic_digits", b"v", "v ٤.١٥ x".encode())
version("no_key", b"Tessera_RS-485", b"<html>nothing here 1.2.3</html>")

# --- decode: command, flags, address low, high, data count, data, answer bytes -------------
# flags: bit 0 Modbus, bit 1 relay 2, bit 2 16-bit setpoints.
def decode(name, command, flags, address, data, answer_bytes):
    write("decode", name, bytes([CMD[command], flags, address & 0xFF, address >> 8, len(data)])
          + bytes(data) + answer_bytes)


decode("qv_getpar", "GetPar", 0, 1, [1], frame(A, [0x41], be(173.2), [1, 2, 0]))
decode("qv_getval_noparam", "GetVal", 0, 1, [2], frame(A, [0x40], be(0), [2]))
decode("qv_getinfo", "GetInfo", 0, 1, [], frame(A, [0x45], info))
decode("qv_getyear", "GetYear", 0, 1, [], frame(A, [0x44, 24, 0x01, 0x2C, 3]))
decode("qv_search", "GetTypeProt", 0, 0, [], frame([5, 0, 0xFF, 0, 0]))
decode("mb_getval", "GetVal", 1, 1, [1], frame(M, [3, 4], be(230.4)[2:], be(230.4)[:2]))
decode("mb_getyear", "GetYear", 1, 1, [], frame(M, [3, 12, 0, 3, 0, 1, 0, 0, 0, 0, 0x01, 0x2C, 0, 24]))
decode("mb_getinfo", "GetInfo", 1, 1, [], frame(M, [3, 64], info))
decode("mb_getust1_wide", "GetUst1", 5, 1, [], frame(M, [3, 2, 0xFF, 0x38]))
decode("mb_getrelayparams_r2", "GetRelayParams", 3, 1, [],
       frame(M, [3, 16, 0, 1, 0, 0, 0, 0, 0, 0x01, 0, 4, 0, 0, 0, 0, 0xFF, 0xE2]))
decode("mb_getrelaygist", "GetRelayGist", 1, 1, [],
       frame(M, [3, 8], be(1.5)[2:], be(1.5)[:2], be(-2)[2:], be(-2)[:2]))
decode("mb_getiec", "GetIEC", 1, 1, [], frame(M, [3, 8, 0, 1, 0, 2, 0, 1, 0, 13]))
decode("mb_setbright_echo", "SetBright", 1, 1, [2], frame(M, [6, 0x03, 0xEE, 0, 2]))
decode("mb_exception", "GetPar", 1, 1, [1], frame(M, [0x83, 2]))
decode("mb_search", "GetTypeProt", 1, 0, [], frame([9, 0x77, 0, 0, 1]))
decode("qv_relaygist_written_as_modbus", "SetRelayGist", 2, 7, list(be(1.5)),
       frame([7], [0x10, 0x02, 0x3E, 0, 2]))
