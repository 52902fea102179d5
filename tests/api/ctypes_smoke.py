"""Loads the shipped library from Python with ctypes, as a script host would, and calls a few
exports: once with an empty settings folder, once with no settings folder at all and once
with a full settings file. Each load runs in a process of its own (start-up runs at load).

    python3 ctypes_smoke.py LIBRARY TEXTS JPEG
"""
import ctypes
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def check_in_this_process(library, jpeg_path):
    lib = ctypes.CDLL(library)
    lib.PanoGetSystemDrive.restype = ctypes.c_char_p
    top = os.environ["ORB_SMOKE_TOP"]
    assert lib.PanoGetSystemDrive() == (top + "/").encode(), lib.PanoGetSystemDrive()
    assert lib.OrbiscopeSetDVR(0, 0) == 1, "recording flag after start-up"
    assert ctypes.c_int32.in_dll(lib, "gfMotionBlock").value == 1
    assert lib.SetCallerID(2) == 2

    lib.EncodeBase64.restype = ctypes.c_char_p
    lib.EncodeBase64.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    lib.DecodeBase64.restype = ctypes.c_char_p
    lib.DecodeBase64.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    out = ctypes.create_string_buffer(64)
    lib.EncodeBase64(b"admin:secret", out)
    assert out.value == b"YWRtaW46c2VjcmV0", out.value
    back = ctypes.create_string_buffer(64)
    lib.DecodeBase64(out.value, back)
    assert back.value == b"admin:secret", back.value

    lib.DecodeFromJPEGBuffer.restype = ctypes.c_void_p
    lib.DecodeFromJPEGBuffer.argtypes = [ctypes.c_char_p, ctypes.c_int32]
    lib.OrbiscopeLockPicture.restype = ctypes.c_void_p
    lib.OrbiscopeLockPicture.argtypes = [ctypes.c_void_p]
    lib.OrbiscopeUnlockPicture.argtypes = [ctypes.c_void_p]
    lib.OrbiscopePictureSize.restype = ctypes.c_uint32
    lib.OrbiscopePictureSize.argtypes = [ctypes.c_void_p]
    lib.OrbiscopeFreePicture.argtypes = [ctypes.c_void_p]
    data = open(jpeg_path, "rb").read()
    picture = lib.DecodeFromJPEGBuffer(data, len(data))
    assert picture, "the picture did not decode"
    packed = lib.OrbiscopeLockPicture(picture)
    header = ctypes.string_at(packed, 40)
    size, width, height, planes, bits = struct.unpack_from("<IiiHH", header)
    assert (size, width, height, planes, bits) == (40, 160, 120, 1, 24), (size, width, height, bits)
    assert lib.OrbiscopePictureSize(picture) == 40 + 160 * 3 * 120
    lib.OrbiscopeUnlockPicture(picture)
    lib.OrbiscopeFreePicture(picture)
    assert not lib.DecodeFromJPEGBuffer(data[: len(data) // 2], len(data) // 2)
    assert lib.UnloadLanguageResource() == 1, "no language module was loaded"
    print("ok", os.environ["ORB_SMOKE_MODE"])


def run_mode(mode, library, texts, jpeg_path):
    top = tempfile.mkdtemp(prefix="orbiscope-ctypes-")
    try:
        home = os.path.join(top, "lib")
        os.mkdir(home)
        shutil.copy(texts, os.path.join(home, "Halo360Web_003906.r"))
        settings = os.path.join(top, "settings")
        if mode != "none":
            os.mkdir(settings)
        if mode == "full":
            with open(os.path.join(settings, "orbiscfg.ini"), "w") as f:
                f.write("[Panorama]\nMultiScreen=2\nFullScreen=0\n[DVR]\nSpeed=1\nProtected=0\nNAS=0\n"
                        "NASLaunch=0\nStorageRoots=%s\n[CCTV]\nDVR=1\n[SCCTV]\nShowTime=1\nShowLocation=1\n"
                        "MotionBlock=1\nDVR=1\nSkipSystemDisk=0\n[Orbiscope]\nMouseInvert=0\n" % top)
        env = dict(os.environ, ORBISCOPE_HOME=home, ORBISCOPE_SYSTEM_DIR=settings, HOME=top,
                   XDG_DATA_HOME=os.path.join(top, "data"), ORB_SMOKE_TOP=top, ORB_SMOKE_MODE=mode)
        env.pop("DISPLAY", None)
        env.pop("XDG_CONFIG_HOME", None)
        r = subprocess.run([sys.executable, __file__, "--child", library, jpeg_path], env=env, timeout=120,
                           capture_output=True, text=True)
        sys.stdout.write(r.stdout)
        sys.stderr.write(r.stderr)
        return r.returncode == 0
    finally:
        shutil.rmtree(top, ignore_errors=True)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--child":
        check_in_this_process(sys.argv[2], sys.argv[3])
        return 0
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    library, texts, jpeg_path = sys.argv[1:]
    failed = [m for m in ("empty", "none", "full") if not run_mode(m, os.path.abspath(library), texts, jpeg_path)]
    if failed:
        print("failed:", ", ".join(failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
