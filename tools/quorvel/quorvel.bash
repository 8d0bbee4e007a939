# Bash completion for quorvel: commands, options and file names. The
# command list comes from the tool itself, so it never goes stale.
_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} word command=""
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            -*) ;;
            *) command=$word; break ;;
        esac
    done
    if [[ $cur == -* ]]; then
        local options="--json --help --version"
        [[ $command == rmtree ]] && options+=" --force"
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    elif [[ -z $command || $command == help && $COMP_CWORD -ge 2 && ${COMP_WORDS[COMP_CWORD-1]} == help ]]; then
        local commands
        commands=$("${COMP_WORDS[0]}" help 2>/dev/null | sed -n 's/^  \([a-z]\+\) .*/\1/p')
        mapfile -t COMPREPLY < <(compgen -W "help $commands" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _quorvel quorvel
