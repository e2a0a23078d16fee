# bash completion for quorvel: the `msg` commands of the running app and their arguments.
_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local actions="toggle_panel toggle_edit_mode summon swap_left swap_right swap_up swap_down toggle_split
                   toggle_tiling retile spotlight_window add_file_manager_window toggle_strip"
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "msg" -- "$cur"))
        return
    fi
    [[ ${COMP_WORDS[1]} == msg ]] || return
    if [[ $COMP_CWORD -eq 2 ]]; then
        COMPREPLY=($(compgen -W "$actions switch name tiling query" -- "$cur"))
        return
    fi
    case "${COMP_WORDS[2]}:$COMP_CWORD" in
        tiling:3) COMPREPLY=($(compgen -W "on off toggle" -- "$cur")) ;;
        query:3) COMPREPLY=($(compgen -W "desktops windows settings" -- "$cur")) ;;
        switch:3 | name:3) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8 9" -- "$cur")) ;;
        name:4) COMPREPLY=($(compgen -W "--clear" -- "$cur")) ;;
    esac
}
complete -F _quorvel quorvel
