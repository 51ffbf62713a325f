# Sourced by bench/run: the cut settings of --settings, each program run with
# the options of a setting that it takes, and their speed set against the
# default run's. It uses bench/run's functions (die, run_program, calc,
# result) and its variables (build, programs, out, row, failed).

# read_settings: from settings_args, the settings of the command line (each
# may hold several, parted by ';'), settings[N], setting N with its options
# in the form "--name value"; set_args[N/P], the options of setting N that
# program P takes, empty when it takes none. Which options a program takes,
# and whether with a value, comes from the usage line of its --help.
read_settings() {
  local p name value text part n o
  local -a parts
  declare -gA takes=() arity=() set_args=()
  settings=()
  for p in "${programs[@]}"; do
    while read -r name value; do
      case "$name" in --series|--output|--quiet) continue ;; esac
      if [ -n "$value" ]; then takes[$p:$name]=value; else takes[$p:$name]=flag; fi
      arity[$name]=${takes[$p:$name]}
    done < <("$build/programs/$p" --help | head -n 1 | grep -oE '\[--[a-z-]+( [A-Z][A-Za-z,.]*)?\]' | tr -d '[]')
  done
  for text in "${settings_args[@]}"; do
    IFS=';' read -r -a parts <<< "$text"
    for part in "${parts[@]}"; do
      [ -n "${part//[[:space:]]/}" ] || continue
      parse_setting "$part"
      n=${#settings[@]}
      settings+=("${parsed[*]}")
      for p in "${programs[@]}"; do
        set_args[$n/$p]=""
        for o in "${parsed[@]}"; do
          [ -z "${takes[$p:${o%% *}]:-}" ] || set_args[$n/$p]+="${set_args[$n/$p]:+ }$o"
        done
      done
    done
  done
  [ ${#settings_args[@]} -eq 0 ] || [ ${#settings[@]} -gt 0 ] || die "--settings gives no options"
}

# parse_setting TEXT: the options of TEXT, as "--name value" or "--name",
# into parsed. An option that no program takes as a cut, one given twice, a
# missing value or a value given to a flag is refused.
parse_setting() {
  local -a words
  local i=0 w name value seen=" "
  read -r -a words <<< "$1"
  parsed=()
  while [ $i -lt ${#words[@]} ]; do
    w=${words[$i]}; i=$((i + 1))
    [[ "$w" == --* ]] || die "setting '$1': '$w' is not an option"
    name=${w%%=*}
    [ -n "${arity[$name]:-}" ] || die "setting '$1': no program takes $name as a cut option"
    [[ "$seen" != *" $name "* ]] || die "setting '$1': $name is given twice"
    seen+="$name "
    if [ "${arity[$name]}" = flag ]; then
      [ "$w" = "$name" ] || die "setting '$1': $name takes no value"
      parsed+=("$name")
      continue
    fi
    if [ "$w" != "$name" ]; then
      value=${w#*=}
    elif [ $i -lt ${#words[@]} ]; then
      value=${words[$i]}; i=$((i + 1))
    else
      value=""
    fi
    [ -n "$value" ] || die "setting '$1': $name needs a value"
    parsed+=("$name $value")
  done
}

# run_settings: every setting, each program with the options of it that it
# takes, in bench/out/S/settingN/PROGRAM/, removed once measured (kept when
# the program fails). A program that takes none of them is not run again.
run_settings() {
  local n p dir
  local -a opts
  for n in "${!settings[@]}"; do
    for p in "${programs[@]}"; do
      [ -n "${set_args[$n/$p]}" ] || continue
      read -r -a opts <<< "${set_args[$n/$p]}"
      dir="$out/setting$((n + 1))/$p"
      printf '%s running ... ' "$p ${set_args[$n/$p]}"
      if run_program "$n/$p" "$p" "$dir" "${opts[@]}"; then rm -rf "$dir"; else failed=1; fi
    done
    rmdir "$out/setting$((n + 1))" 2>/dev/null || true
  done
}

# settings_table: each setting's figures against the default run's, and
# their lines of results.tsv, the program column holding the options.
settings_table() {
  local n p label width=11 wall user sys rss bytes rf wf ratio dwall dwf rel verdict
  for n in "${!settings[@]}"; do
    for p in "${programs[@]}"; do
      label="$p ${set_args[$n/$p]}"
      [ ${#label} -le $width ] || width=${#label}
    done
  done
  echo
  echo "settings, against the default run (target: a ratio at most 1.05 times the default's)"
  printf "  %-${width}s %8s %8s %14s %8s %7s %10s  %s\n" \
    program wall_s rss_mb output_bytes write_s ratio to_default 'within 5 %'
  for n in "${!settings[@]}"; do
    echo "setting $((n + 1)): ${settings[$n]}"
    for p in "${programs[@]}"; do
      label="$p ${set_args[$n/$p]}"
      if [ -z "${set_args[$n/$p]}" ]; then
        printf "  %-${width}s takes none of these options\n" "$p"
        continue
      fi
      [ -n "${row[$n/$p]:-}" ] || { printf "  %-${width}s %8s\n" "$label" failed; continue; }
      read -r wall user sys rss bytes rf wf ratio <<< "${row[$n/$p]}"
      rel=- verdict="(no default run)"
      if [ -n "${row[$p]:-}" ]; then
        # From the unrounded ratios, wall / (read floor + write floor) of each.
        read -r dwall _ _ _ _ _ dwf _ <<< "${row[$p]}"
        rel=$(calc %.3f "($wall / ($rf + $wf)) / ($dwall / ($rf + $dwf))")
        verdict=$(awk "BEGIN { print ($rel <= 1.05) ? \"met\" : \"over\" }")
      fi
      printf "  %-${width}s %8.3f %8.1f %14d %8.3f %7.2f %10s  %s\n" \
        "$label" "$wall" "$rss" "$bytes" "$wf" "$ratio" "$rel" "$verdict"
      result "$label" "${row[$n/$p]}"
    done
  done
  echo "ratio = wall / (read floor + write floor of the run's own output); to_default = ratio / the default's"
}
