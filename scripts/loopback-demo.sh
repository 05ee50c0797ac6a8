#!/usr/bin/env bash
# Tries a real measurement without an audio interface: starts a private JACK
# server with the dummy driver, starts Tolvane on it with its own settings
# (the JACK device selected, files going to loopback-demo/), and keeps
# Tolvane's output ports connected to its input ports, so every output is
# recorded on the input of the same number one JACK period later.
#
# Usage: scripts/loopback-demo.sh [output-folder]
# Press Start in the window; close it to end the demo. The response of each
# output/input pair has its peak at the loop's delay of 256 frames.
set -euo pipefail
cd "$(dirname "$0")/.."

out_dir=$(realpath -m "${1:-loopback-demo}")
rate=48000
period=256
server="tolvane_demo_$$"
client="JUCEJack" # the client name of JUCE's JACK device

if [ ! -x build/Tolvane ]; then
    scripts/build.sh build -DTOLVANE_BUILD_TESTS=OFF
fi

mkdir -p "$out_dir"
config=$(mktemp -d /tmp/tolvane-demo-XXXXXX)
jack_log="$config/jackd.log"
jack_pid=""
app_pid=""

cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    if [ -n "$jack_pid" ]; then
        kill "$jack_pid" 2>/dev/null || true
        wait "$jack_pid" 2>/dev/null || true
    fi
    # What a server that did not end cleanly leaves behind, for this server only.
    rm -f /dev/shm/jack_"${server}"_* /dev/shm/jack_sem.*_"${server}"_*
    rm -rf "$config"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1

jackd --no-realtime -n "$server" -d dummy -r "$rate" -p "$period" -C 2 -P 2 >"$jack_log" 2>&1 &
jack_pid=$!
for _ in $(seq 100); do
    jack_lsp 2>/dev/null | grep -q '^system:' && break
    kill -0 "$jack_pid" 2>/dev/null || { cat "$jack_log"; echo "jackd did not start" >&2; exit 1; }
    sleep 0.1
done

# Tolvane's own settings: the JACK device, one output and one input, a short
# sweep, 32-bit float files in the output folder. Missing keys get defaults.
xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
# JUCE finds its settings under $HOME/.config, so Tolvane gets a home of its own.
settings_dir="$config/.config/Quorvel/Tolvane"
mkdir -p "$settings_dir"
cat >"$settings_dir/Tolvane.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="audioSettings" val="&lt;?xml version=&quot;1.0&quot; encoding=&quot;UTF-8&quot;?&gt;&#10;&lt;DEVICESETUP deviceType=&quot;JACK&quot; audioOutputDeviceName=&quot;system&quot; audioInputDeviceName=&quot;system&quot;/&gt;&#10;"/>
  <VALUE name="numPlayChan" val="1"/>
  <VALUE name="numRecChan" val="1"/>
  <VALUE name="type" val="Sweep"/>
  <VALUE name="sweepTime" val="2"/>
  <VALUE name="gapDelay" val="1"/>
  <VALUE name="initDelay" val="0"/>
  <VALUE name="fmt" val="WAV 32-bit float"/>
  <VALUE name="normalize" val="0"/>
  <VALUE name="dir" val="$(xml_escape "$out_dir")"/>
  <VALUE name="file" val="impulse"/>
</PROPERTIES>
EOF

XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}" HOME="$config" ./build/Tolvane &
app_pid=$!

echo "Tolvane is running on the private JACK server $server ($rate Hz, $period-frame periods)."
echo "Press Start; the files go to $out_dir. Close the window to end."

# Stop and the Audio Settings dialog reopen the device, which drops the
# loop's connections; put them back whenever they are missing.
while kill -0 "$app_pid" 2>/dev/null; do
    for port in $(jack_lsp 2>/dev/null | grep "^$client:out_" || true); do
        n=${port##*:out_}
        jack_lsp 2>/dev/null | grep -qx "$client:in_$n" || continue
        jack_lsp -c "$port" 2>/dev/null | grep -qx "   $client:in_$n" || jack_connect "$port" "$client:in_$n" 2>/dev/null || true
    done
    sleep 0.5
done
wait "$app_pid" 2>/dev/null || true
app_pid=""
