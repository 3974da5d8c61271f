# Sourced by the scripts that run Windows programs: gives them a private Wine
# prefix, an X display (Xvfb unless one is set and wanted) and a warm,
# persistent wineserver. Call winenv_start, and winenv_stop when done.

# 32 where this machine runs 32-bit programs (and so 32-bit Wine), else 64:
# some virtual machines' kernels refuse 32-bit code, and the Windows
# programs are then built and tested for 64-bit Windows instead.
winenv_bits() {
    if [ -z "${WINENV_BITS:-}" ]; then
        local answer=""
        [ -x /usr/lib/wine/wine ] && answer=$(/usr/lib/wine/wine --version 2>&1)
        if [ -x /usr/lib/wine/wine ] && [[ "$answer" == *"Exec format error"* || "$answer" == *"cannot execute"* ]]; then
            WINENV_BITS=64
        elif [ -x /usr/lib/wine/wine ]; then
            WINENV_BITS=32
        elif [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null; then
            # Only the 64-bit Wine is installed.
            WINENV_BITS=64
        else
            WINENV_BITS=32
        fi
    fi
    echo "$WINENV_BITS"
}

# The CMake preset of the Windows build that runs here.
winenv_preset() {
    if [ "$(winenv_bits)" = 64 ]; then echo mingw64; else echo mingw; fi
}

winenv_start() {
    local top="$1" want_display="${2:-headless}" prefix="${3:-wineprefix}"
    export WINEDEBUG=-all
    if [ "$(winenv_bits)" = 64 ]; then
        export WINEARCH=win64
        prefix="${prefix}64"
        # Debian's wine and wineboot start the 32-bit loader whenever it is
        # installed, even where it cannot run: these start the 64-bit one.
        local shims="$top/build/wine64-bin"
        mkdir -p "$shims"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shims/wine"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot.exe "$@"\n' >"$shims/wineboot"
        chmod +x "$shims/wine" "$shims/wineboot"
        export WINELOADER=/usr/lib/wine/wine64
        case ":$PATH:" in *":$shims:"*) ;; *) export PATH="$shims:$PATH" ;; esac
    else
        export WINEARCH=win32
    fi
    export WINEPREFIX="$top/build/$prefix"
    export WINEDLLOVERRIDES="mscoree,mshtml="
    WINENV_XVFB_PID=""
    if [ "$want_display" != "interactive" ] || [ -z "${DISPLAY:-}" ]; then
        # Xvfb picks a display that no server holds and reports it once it
        # listens. Lock files alone miss servers of other root directories
        # (a chroot, a container): they share the abstract socket names, so
        # Wine would draw on their display.
        local number_file
        number_file=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
        WINENV_XVFB_PID=$!
        for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
        if [ ! -s "$number_file" ]; then
            echo "Xvfb did not start"
            rm -f "$number_file"
            return 1
        fi
        DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
        export DISPLAY
        rm -f "$number_file"
    fi
    mkdir -p "$top/build"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix (about 20 s)..."
        wineboot -i >/dev/null 2>&1 </dev/null || true
        wineserver -w >/dev/null 2>&1 </dev/null
        # Without a window manager, unmanaged windows close without the 2 s delay;
        # no sound device keeps message boxes quiet and fast.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
        wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1 </dev/null
        wineserver -w >/dev/null 2>&1 </dev/null
    fi
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first process starts services that inherit its output; warm them up
    # here so readers of later pipes are not kept waiting for end of file.
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

winenv_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${WINENV_XVFB_PID:-}" ]; then
        kill "$WINENV_XVFB_PID" 2>/dev/null || true
        wait "$WINENV_XVFB_PID" 2>/dev/null || true
    fi
}
