# Sourced by the scripts: a long step says when it starts and how long it took.
#   step "Building build/" cmake --build build
# prints "==> Building build/", runs the command, then "==> Building build/:
# done in 2 min 5 s" (or "failed after ..., exit N" on standard error) and
# returns the command's status.

duration() {
  if [ "$1" -ge 60 ]; then
    printf '%d min %d s' $(($1 / 60)) $(($1 % 60))
  else
    printf '%d s' "$1"
  fi
}

step() {
  local what=$1 start=$SECONDS status=0
  shift
  echo "==> $what"
  "$@" || status=$?
  if [ "$status" -eq 0 ]; then
    echo "==> $what: done in $(duration $((SECONDS - start)))"
  else
    echo "==> $what: failed after $(duration $((SECONDS - start))), exit $status" >&2
  fi
  return "$status"
}
