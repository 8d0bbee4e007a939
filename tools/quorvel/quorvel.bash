# Bash completion for quorvel: commands, options, and each argument by what
# the command's usage names it: FILE, SETTINGS and PATH file names, ROOT and
# SAMPLES_DIR directories, COMMAND commands, anything else (numbers, names,
# device paths) nothing. Commands and usages come from the tool itself, so
# they never go stale.

# This file's folder: installed, the tool lies in ../../../bin from it.
_quorvel_dir=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" 2>/dev/null && pwd)

# The tool to ask: the command as typed (with ~/ expanded), else the one of
# that name on PATH, else the one installed with this completion.
_quorvel_tool() {
    local typed=$1 installed=$_quorvel_dir/../../../bin/quorvel
    [[ $typed == "~/"* ]] && typed=$HOME/${typed:2}
    if [[ $typed == */* ]]; then
        [[ -x $typed ]] && { printf '%s\n' "$typed"; return; }
    else
        type -P -- "$typed" && return
    fi
    [[ -x $installed ]] && printf '%s\n' "$installed"
}

_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} word command="" index=0 options=true tool usage kind
    COMPREPLY=()
    # The command, and which of its arguments the word is; options may stand
    # anywhere before "--".
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        if [[ $options == true && $word == -- ]]; then
            options=false
        elif [[ $options == true && $word == -* ]]; then
            :
        elif [[ -z $command ]]; then
            command=$word
        else
            index=$((index + 1))
        fi
    done
    tool=$(_quorvel_tool "${COMP_WORDS[0]}")
    [[ -n $command && -n $tool ]] && usage=$("$tool" help "$command" 2>/dev/null | sed -n '1s/^usage: quorvel //p')
    if [[ $options == true && $cur == -* ]]; then
        local offered="--json --help --version" extra words=()
        read -ra words <<<"$usage"
        for extra in "${words[@]}"; do
            [[ $extra == "[--"*"]" && $extra != "[--json]" ]] && offered+=" ${extra:1:${#extra}-2}"
        done
        mapfile -t COMPREPLY < <(compgen -W "$offered" -- "$cur")
        return
    fi
    [[ -n $tool ]] || return
    if [[ -z $command ]]; then
        kind=COMMAND
    else
        # The usage's arguments in order; the last one repeats when it ends
        # in "...".
        local arguments=() words=()
        read -ra words <<<"$usage"
        for word in "${words[@]}"; do
            [[ $word == "[-"* ]] || arguments+=("$word")
        done
        arguments=("${arguments[@]:1}")
        if ((index < ${#arguments[@]})); then
            kind=${arguments[index]}
        elif ((${#arguments[@]} > 0)) && [[ ${arguments[-1]} == *... ]]; then
            kind=${arguments[-1]}
        fi
        kind=${kind#[}
        kind=${kind%]}
        kind=${kind%...}
    fi
    case $kind in
        COMMAND)
            mapfile -t COMPREPLY < <(compgen -W "help $("$tool" help 2>/dev/null | sed -n 's/^  \([a-z]\+\) .*/\1/p')" \
                -- "$cur")
            ;;
        FILE | SETTINGS | PATH) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        ROOT | SAMPLES_DIR) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
    esac
}
complete -o filenames -F _quorvel quorvel
