# Sourced by bench/run: pairterms run against termshort, termsecul and
# termall run one after the other, at the default settings, on the series of
# one scale; then pairterms verify and termcuts, timed once each. It uses
# bench/run's functions (settle, timed, stat_field, calc, figures, result,
# compare) and its variables (build, cache, out, read_floor, programs, tool,
# rounds, with_pairterms, failed).

# pair_row LABEL FIGURES [NOTE]: one line of the table of this part.
pair_row() {
  local wall user sys rss bytes rf wf ratio
  read -r wall user sys rss bytes rf wf ratio <<< "$2"
  printf '%-28s %8.3f %8.3f %8.3f %8.1f %14d %8.3f %8.3f %7.2f  %s\n' \
    "$1" "$wall" "$user" "$sys" "$rss" "$bytes" "$rf" "$wf" "$ratio" "${3:-}" | sed 's/ *$//'
}

# tree_bytes DIR: the total size of every file under DIR.
tree_bytes() { find "$1" -type f -printf '%s\n' | awk '{ t += $1 } END { printf "%.0f\n", t }'; }

# program_round R: the three programs one after the other, each into a
# fresh folder of its own, $work/programs/PROGRAM/, its console there as
# console.txt; round_stat[R/PROGRAM] the report of each. The round starts
# settled, as pairterms run does, and the programs follow one another as a
# user's commands would: a settle between them would write back an earlier
# program's output outside the time measured, while pairterms run pays for
# the write-back of all three (on a machine whose page cache takes some
# 2.4 GB before it writes back, that is seconds at full).
program_round() {
  local r=$1 p dir status
  rm -rf "$work/programs"
  settle "$cache"
  for p in "${programs[@]}"; do
    dir="$work/programs/$p"
    mkdir -p "$dir"
    status=0
    timed "$work" "$work/$r.$p.stat" "$build/programs/$p" --series "$cache" --output "$dir" \
      < /dev/null > "$work/$p.console" 2> "$work/$p.stderr" || status=$?
    if [ $status != 0 ]; then
      echo "$p FAILED with exit status $status; console ends:"
      tail -n 5 "$work/$p.console" | tr -d '\r' | sed 's/^/    /'
      return 1
    fi
    mv "$work/$p.console" "$dir/console.txt"
    [ -s "$work/$p.stderr" ] || rm -f "$work/$p.stderr"
  done
}

# pairterms_round R: pairterms run into a fresh $work/run; its report is
# $work/R.run.stat.
pairterms_round() {
  local r=$1 status=0
  rm -rf "$work/run"
  settle "$cache"
  timed "$work" "$work/$r.run.stat" "${tool[pairterms]}" run --series "$cache" --output "$work/run" \
    < /dev/null > "$work/run.out" 2>&1 || status=$?
  if [ $status != 0 ]; then
    echo "pairterms run FAILED with exit status $status; it wrote:"
    tail -n 5 "$work/run.out" | tr -d '\r' | sed 's/^/    /'
    return 1
  fi
}

# pairterms_part: the rounds, the comparison of the outputs, the cat floor,
# verify and termcuts; the table and the lines of results.tsv. A failure or
# a difference sets failed=1 and keeps bench/out/S/.pairterms for
# inspection; otherwise that folder is removed.
pairterms_part() {
  local work="$out/.pairterms" r p wall sum best_sum="" best_run="" best_r_sum=0 best_r_run=0
  local rss prog_rss=0 run_rss=0 user sys bytes run_bytes cat_floor out_read differs=0 status
  local -a sums=() runs=()
  declare -A pf=()
  rm -rf "$work"
  mkdir -p "$work"
  echo
  if [ "$with_pairterms" = 1 ]; then
    echo "pairterms run against the three programs in turn, $rounds alternating round$([ "$rounds" = 1 ] || echo s):"
    for r in $(seq 1 "$rounds"); do
      printf '  round %d: programs in turn ... ' "$r"
      program_round "$r" || { failed=1; echo "    kept: $work"; return; }
      sum=0
      for p in "${programs[@]}"; do
        sum=$(calc %.6f "$sum + $(stat_field "$work/$r.$p.stat" wall_s)")
        rss=$(stat_field "$work/$r.$p.stat" maxrss_kb)
        [ "$rss" -le "$prog_rss" ] || prog_rss=$rss
      done
      sums+=("$(calc %.3f "$sum")")
      printf '%.3f s; pairterms run ... ' "$sum"
      pairterms_round "$r" || { failed=1; echo "    kept: $work"; return; }
      wall=$(stat_field "$work/$r.run.stat" wall_s)
      rss=$(stat_field "$work/$r.run.stat" maxrss_kb)
      [ "$rss" -le "$run_rss" ] || run_rss=$rss
      runs+=("$(calc %.3f "$wall")")
      echo "$(calc %.3f "$wall") s"
      if [ -z "$best_sum" ] || awk "BEGIN { exit !($sum < $best_sum) }"; then best_sum=$sum; best_r_sum=$r; fi
      if [ -z "$best_run" ] || awk "BEGIN { exit !($wall < $best_run) }"; then best_run=$wall; best_r_run=$r; fi
    done

    # The last round's outputs, byte for byte: DIR/PROGRAM/ against the
    # program's own folder, console.txt included.
    printf '  outputs of the last round:'
    for p in "${programs[@]}"; do
      printf ' %s ' "$p"
      compare "$work/programs/$p" "$work/run/$p" | tr -d '\n' || differs=1
      printf ';'
    done
    [ -f "$work/run/MANIFEST" ] || { printf ' no MANIFEST'; differs=1; }
    echo

    # The cat floor: every file of DIR, MANIFEST included, copied with one
    # cat each into a fresh folder.
    run_bytes=$(tree_bytes "$work/run")
    rm -rf "$work/copy"
    (cd "$work/run" && find . -type d -exec mkdir -p "$work/copy/{}" \; &&
     find . -type f | LC_ALL=C sort > "$work/files")
    settle "$work/run" "$work/run"/*/
    timed "$work/run" "$work/copy.stat" sh -c 'while IFS= read -r f; do cat "$f" > "$1/$f" || exit 1; done < "$2"' \
      sh "$work/copy" "$work/files" || die "the copy for the cat floor failed"
    rm -rf "$work/copy"
    cat_floor=$(stat_field "$work/copy.stat" wall_s)

    # What verify reads besides the series: the outputs, from the page
    # cache, with one cat (verify is one process too).
    settle "$work/run" "$work/run"/*/
    timed "$work/run" "$work/read.stat" sh -c 'xargs -d "\n" cat < "$1" > /dev/null' sh "$work/files" ||
      die "reading the outputs failed"
    out_read=$(stat_field "$work/read.stat" wall_s)
    printf '  pairterms verify ... '
    settle "$cache" "$work/run" "$work/run"/*/
    status=0
    timed "$work" "$work/verify.stat" "${tool[pairterms]}" verify "$work/run" < /dev/null > "$work/verify.out" 2>&1 || status=$?
    if [ $status = 0 ]; then
      pf[verify]=$(figures "$work/verify.stat" 0 "$(calc %.6f "$read_floor + $out_read")" 0)
      echo "$(calc %.3f "${pf[verify]%% *}") s"
    else
      echo "FAILED with exit status $status:"
      tail -n 5 "$work/verify.out" | tr -d '\r' | sed 's/^/    /'
      differs=1
    fi

    # The rows: the programs of their best round, their sum, pairterms run's best round.
    user=0 sys=0
    for p in "${programs[@]}"; do
      pf[$p]=$(figures "$work/$best_r_sum.$p.stat" "$(tree_bytes "$work/programs/$p")" "$read_floor" 0)
      user=$(calc %.6f "$user + $(stat_field "$work/$best_r_sum.$p.stat" user_s)")
      sys=$(calc %.6f "$sys + $(stat_field "$work/$best_r_sum.$p.stat" sys_s)")
    done
    pf[sum]="$best_sum $user $sys $(calc %.1f "$prog_rss / 1024") $(tree_bytes "$work/programs") $read_floor $cat_floor"
    pf[sum]+=" $(calc %.2f "$best_sum / ($read_floor + $cat_floor)")"
    user=$(stat_field "$work/$best_r_run.run.stat" user_s)
    sys=$(stat_field "$work/$best_r_run.run.stat" sys_s)
    pf[run]="$best_run $user $sys $(calc %.1f "$run_rss / 1024") $run_bytes $read_floor $cat_floor"
    pf[run]+=" $(calc %.2f "$best_run / ($read_floor + $cat_floor)")"
  fi

  if [ -n "${tool[termcuts]:-}" ]; then
    [ "$with_pairterms" = 1 ] || echo "termcuts on the same series:"
    printf '  termcuts ... '
    settle "$cache"
    status=0
    timed "$work" "$work/termcuts.stat" "${tool[termcuts]}" --series "$cache" < /dev/null > "$work/termcuts.txt" 2>&1 ||
      status=$?
    if [ $status = 0 ]; then
      pf[termcuts]=$(figures "$work/termcuts.stat" "$(stat -c %s "$work/termcuts.txt")" "$read_floor" 0)
      echo "$(calc %.3f "${pf[termcuts]%% *}") s"
    else
      echo "FAILED with exit status $status:"
      tail -n 5 "$work/termcuts.txt" | tr -d '\r' | sed 's/^/    /'
      failed=1
    fi
  fi

  echo
  printf '%-28s %8s %8s %8s %8s %14s %8s %8s %7s\n' \
    program wall_s user_s sys_s rss_mb output_bytes read_s write_s ratio
  if [ "$with_pairterms" = 1 ]; then
    for p in "${programs[@]}"; do
      read -r wall user sys rss bytes _ <<< "${pf[$p]}"
      printf '  %-26s %8.3f %8.3f %8.3f %8.1f %14d  %s\n' "$p" "$wall" "$user" "$sys" "$rss" "$bytes" "(round $best_r_sum)"
    done
    pair_row "termshort+termsecul+termall" "${pf[sum]}" "rounds: ${sums[*]}"
    pair_row "pairterms run" "${pf[run]}" "rounds: ${runs[*]}"
    printf '%-28s %8.3f%42d\n' "cat of the same output" "$cat_floor" "$run_bytes"
    [ -z "${pf[verify]:-}" ] || pair_row "pairterms verify" "${pf[verify]}"
    result "termshort+termsecul+termall" "${pf[sum]}"
    result "pairterms run" "${pf[run]}"
    [ -z "${pf[verify]:-}" ] || result "pairterms verify" "${pf[verify]}"
  fi
  if [ -n "${pf[termcuts]:-}" ]; then
    pair_row termcuts "${pf[termcuts]}"
    result termcuts "${pf[termcuts]}"
  fi
  if [ "$with_pairterms" = 1 ]; then
    echo "wall and CPU: the best round of each; rss_mb: the largest of any round (the sum's: of any program);"
    echo "write_s: the cat floor; ratio = wall / (read floor + write floor); for verify, whose read"
    echo "floor is the series' and the outputs', and termcuts, which writes no files, wall / read floor"
    r=$(calc %.3f "$best_run / $best_sum")
    printf 'pairterms run / programs in turn: %s (target <= 0.9) %s\n' \
      "$r" "$(awk "BEGIN { print ($r <= 0.9) ? \"met\" : \"over\" }")"
    r=$(calc %.3f "$run_rss / $prog_rss")
    printf 'peak RSS, pairterms run / the largest program: %s (target <= 1.3) %s\n' \
      "$r" "$(awk "BEGIN { print ($r <= 1.3) ? \"met\" : \"over\" }")"
  fi
  if [ $differs != 0 ]; then
    failed=1
    echo "kept for inspection: $work"
  else
    rm -rf "$work"
  fi
}
