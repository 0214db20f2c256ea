# Sourced by test.sh: starts a private PulseAudio server with two null sinks
# for the integration tests and stops it when the calling shell exits. The
# tests find it through PULSE_SERVER; nothing touches a user's own server.
varn_pulse_dir="$(mktemp -d /tmp/varn-pulse.XXXXXX)"
chmod 700 "$varn_pulse_dir"
varn_stop_pulse() {
  if [ -n "${varn_pulse_pid:-}" ]; then kill "$varn_pulse_pid" 2>/dev/null || true; fi
  rm -rf "$varn_pulse_dir"
}
trap varn_stop_pulse EXIT
if command -v pulseaudio >/dev/null 2>&1; then
  XDG_RUNTIME_DIR="$varn_pulse_dir" HOME="$varn_pulse_dir" pulseaudio -n --daemonize=no \
    --exit-idle-time=-1 --use-pid-file=no --log-target=file:"$varn_pulse_dir/log" \
    -L "module-native-protocol-unix socket=$varn_pulse_dir/native auth-anonymous=1" \
    -L "module-null-sink sink_name=varn_null_a sink_properties=device.description=VarnNullA" \
    -L "module-null-sink sink_name=varn_null_b sink_properties=device.description=VarnNullB" \
    >/dev/null 2>&1 &
  varn_pulse_pid=$!
  for _ in $(seq 50); do
    [ -S "$varn_pulse_dir/native" ] && break
    sleep 0.1
  done
  if [ -S "$varn_pulse_dir/native" ]; then
    export PULSE_SERVER="unix:$varn_pulse_dir/native"
    export VARN_TEST_PULSE=1
    echo "test: PulseAudio test server at $PULSE_SERVER"
  else
    echo "test: PulseAudio test server did not start; see $varn_pulse_dir/log" >&2
  fi
fi
