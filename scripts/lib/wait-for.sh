# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; when
# SECONDS pass first, calls the sourcing script's own `fail` with WHAT.
wait_for() {
  local limit=$1 what=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $deadline ] && fail "no $what within ${limit} s"
    sleep 0.1
  done
}
